#include "generate/new_commands.h"

#include "catalogue/certificate_folder.h"
#include "generate/cert_gen_form.h"
#include "generate/citation_params.h"

namespace {

void RunForm(QWidget* parent, const CertGenParams& params) {
    CCertGenForm form(parent);
    form.m_params = params;
    form.DoModal();
}

} // namespace

void RunNewCommand(QWidget* parent) {
    RunForm(parent, MakeNewParams(GetCertificateFolder()));
}

void RunGenerateCitationCommand(QWidget* parent, const CertPropertyList* selected) {
    if (selected == nullptr) {
        RunNewCommand(parent);
        return;
    }
    // Made before the form opens: a refresh while the form is shown may rebuild the rows.
    const CertGenParams params = MakeCitationParams(*selected, GetCertificateFolder());
    RunForm(parent, params);
}
