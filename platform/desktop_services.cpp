#include "platform/desktop_services.h"

#include "platform/file_uri.h"
#include "platform/trace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QUrl>

namespace {

QUrl UrlOf(const std::filesystem::path& path) {
    return QUrl(QString::fromLatin1(FileUriOfPath(path)), QUrl::StrictMode);
}

void OpenContainingFolder(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    QDesktopServices::openUrl(UrlOf(folder));
}

} // namespace

void RevealFileInFileManager(const std::filesystem::path& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        OpenContainingFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(FileUriOfPath(path))} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [path](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<> reply = *finished;
                         if (reply.isError()) {
                             Trace(u"No file manager answered ShowItems; opening the folder.\r\n");
                             OpenContainingFolder(path);
                         }
                         finished->deleteLater();
                     });
}

void OpenDocument(const std::filesystem::path& path) {
    QDesktopServices::openUrl(UrlOf(path));
}
