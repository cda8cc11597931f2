#include "actions/drop_import.h"

#include "actions/certificate_import.h"
#include "catalogue/certificate_folder.h"
#include "platform/message_box.h"
#include "res/strings.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <string>

std::vector<std::filesystem::path> LocalFilesOfDrag(const QMimeData* data) {
    std::vector<std::filesystem::path> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        const QString host = url.host();
        if (!url.isLocalFile() || !(host.isEmpty() || host == QLatin1String("localhost")))
            return {};
        // The encoded form keeps bytes that are not UTF-8 as escapes; decoding it gives the
        // name's bytes back exactly.
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!bytes.startsWith('/'))
            return {};
        files.emplace_back(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    return files;
}

bool AcceptFileDrag(QDropEvent* event) {
    if (!(event->possibleActions() & Qt::CopyAction) ||
        LocalFilesOfDrag(event->mimeData()).empty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void ImportFileDrop(QWidget* owner, QDropEvent* event) {
    if (!AcceptFileDrag(event))
        return;
    QTimer::singleShot(0, owner, [owner, files = LocalFilesOfDrag(event->mimeData())] {
        ImportDroppedFiles(owner, files);
    });
}

void ImportDroppedFiles(QWidget* owner, const std::vector<std::filesystem::path>& files) {
    const std::filesystem::path folder = GetCertificateFolder();
    std::error_code creationError;
    EnsureCertificateFolder(folder, creationError);
    const ImportOutcome outcome = ImportFiles(files, folder, [owner](const std::filesystem::path&) {
        return MessageBoxes().Show(owner, QString::fromUtf8(kOverwriteQuestionText),
                                   QString::fromUtf8(kConfirmCaption),
                                   MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion) ==
               kAnswerOk;
    });
    if (!outcome.refusals.empty())
        MessageBoxes().Show(owner, QString::fromStdU16String(ImportRefusalText(outcome.refusals)),
                            QStringLiteral("Import"),
                            MessageBoxType::kOk | MessageBoxType::kIconExclamation);
}
