// The NEW and Generate Citation buttons of the main window.
#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_folder.h"
#include "generate/cert_gen_form.h"
#include "generate/citation_params.h"

namespace {

void RunForm(QWidget* owner, const CertGenParams& params) {
    CCertGenForm form(owner);
    form.m_params = params;
    form.DoModal();
}

} // namespace

void CVarnokQuilletDlg::OnBnClickedNew() {
    const CertGenParams params = MakeNewParams(GetCertificateFolder());
    RunForm(this, params);
}

void CVarnokQuilletDlg::OnBnClickedGenerateCitation() {
    const int row = SelectedCertificateRow();
    if (row < 0 || static_cast<std::size_t>(row) >= propertyLists().size()) {
        OnBnClickedNew();
        return;
    }
    // Copied before the form opens: a refresh while the form is shown may rebuild the rows.
    const CertPropertyList properties = propertyLists()[static_cast<std::size_t>(row)];
    const CertGenParams params = MakeCitationParams(properties, GetCertificateFolder());
    RunForm(this, params);
}
