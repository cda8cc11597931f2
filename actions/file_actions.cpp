// The Delete, Show Certificate File and HELP buttons of the main window. Each fails silently.
#include "app/varnok_quillet_dlg.h"
#include "platform/desktop_services.h"
#include "platform/message_box.h"
#include "platform/text_codec.h"
#include "platform/trace.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

const char kDeleteQuestion[] =
    "This action deletes a file.Deleted files cannot be undone.Are you sure you want to continue ?";

bool Exists(const char* relativeName) {
    std::error_code error;
    return std::filesystem::exists(relativeName, error);
}

} // namespace

void CVarnokQuilletDlg::OnBnClickedDelete() {
    const int row = SelectedCertificateRow();
    if (row < 0 || static_cast<std::size_t>(row) >= filePaths().size())
        return;
    // Copied before the question: a refresh while the box is open may rebuild the rows.
    const std::filesystem::path path = filePaths()[static_cast<std::size_t>(row)];
    if (MessageBoxes().Show(this, QString::fromLatin1(kDeleteQuestion), QStringLiteral("Message"),
                            MessageBoxType::kOkCancel | MessageBoxType::kIconExclamation) !=
        kAnswerOk)
        return;
    // unlink removes exactly this one file and never a folder that took its name meanwhile.
    if (::unlink(path.c_str()) != 0)
        Trace(u"Delete failed: " + PathToDisplayText(path) + u": " +
              Utf8ToUtf16(std::strerror(errno)) + u"\r\n");
}

void CVarnokQuilletDlg::OnBnClickedShowCertificateFile() {
    const int row = SelectedCertificateRow();
    if (row < 0 || static_cast<std::size_t>(row) >= filePaths().size())
        return;
    RevealFileInFileManager(filePaths()[static_cast<std::size_t>(row)]);
}

void CVarnokQuilletDlg::OnBnClickedHelp() {
    // Both names are looked up in the current directory, not beside the executable.
    for (const char* manual : {"QuilletManuals.pdf", "QuilletManuals_en.pdf"}) {
        if (Exists(manual)) {
            OpenDocument(std::filesystem::path(manual));
            return;
        }
    }
}
