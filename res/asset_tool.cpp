// Build-time tool: writes the manuals as PDF from their Markdown sources, and the icon as PNG.
//
//   quillet_assets manual <out.pdf> <title> <source.md>...   (each source from a new page)
//   quillet_assets icon <size> <out.png>
#include "res/app_icon.h"
#include "res/dialog_units.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cstdio>

namespace {

bool ReadMarkdown(const QString& source, QString& markdown) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(source));
        return false;
    }
    markdown = QString::fromUtf8(in.readAll());
    return true;
}

int WriteManual(const QString& output, const QString& title, const QStringList& sources) {
    QStringList markdowns;
    for (const QString& source : sources) {
        QString markdown;
        if (!ReadMarkdown(source, markdown))
            return 1;
        markdowns << markdown;
    }

    QPdfWriter writer(output);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Quillet"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter));

    QTextDocument document;
    // Fonts are measured at the writer's resolution, so point sizes come out as printed.
    document.documentLayout()->setPaintDevice(&writer);
    QFont font = MainDialogFont();
    font.setPointSize(10);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet(
        QStringLiteral("table { border-collapse: collapse; } th, td { padding: 3px; }"));
    document.setMarkdown(markdowns.first());
    for (qsizetype i = 1; i < markdowns.size(); ++i) {
        // Each further edition starts on a page of its own.
        QTextCursor cursor(&document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        const int start = cursor.position();
        QTextDocument part;
        part.setMarkdown(markdowns[i]);
        cursor.insertFragment(QTextDocumentFragment(&part));
        cursor.setPosition(start);
        QTextBlockFormat pageBreak;
        pageBreak.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.mergeBlockFormat(pageBreak);
    }
    document.setPageSize(writer.pageLayout().paintRectPixels(writer.resolution()).size());
    document.print(&writer);
    return QFile::exists(output) ? 0 : 1;
}

int WriteIcon(int size, const QString& output) {
    if (size < 16 || size > 1024 || !DrawQuilletIcon(size).save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() >= 5 && args[1] == QLatin1String("manual"))
        return WriteManual(args[2], args[3], args.mid(4));
    if (args.size() == 4 && args[1] == QLatin1String("icon"))
        return WriteIcon(args[2].toInt(), args[3]);
    std::fprintf(stderr, "usage: quillet_assets manual <out.pdf> <title> <source.md>...\n"
                         "       quillet_assets icon <size> <out.png>\n");
    return 64;
}
