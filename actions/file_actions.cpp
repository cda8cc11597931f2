#include "actions/file_actions.h"

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

void DeleteCertificateFile(QWidget* parent, std::filesystem::path path) {
    if (MessageBoxes().Show(parent, QString::fromLatin1(kDeleteQuestion), QStringLiteral("Message"),
                            MessageBoxType::kOkCancel | MessageBoxType::kIconExclamation) !=
        kAnswerOk)
        return;
    // unlink removes exactly this one file and never a folder that took its name meanwhile.
    if (::unlink(path.c_str()) != 0)
        Trace(u"Delete failed: " + PathToDisplayText(path) + u": " +
              Utf8ToUtf16(std::strerror(errno)) + u"\r\n");
}

void ShowCertificateFile(const std::filesystem::path& path) {
    RevealFileInFileManager(path);
}

void OpenManual() {
    // Both names are looked up in the current directory, not beside the executable.
    for (const char* manual : {"QuilletManuals.pdf", "QuilletManuals_en.pdf"}) {
        if (Exists(manual)) {
            OpenDocument(std::filesystem::path(manual));
            return;
        }
    }
}
