#include "tablefiles.h"

#include "tablerun.h"

#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPlainTextEdit>
#include <QSaveFile>

#include <exception>

namespace quenzil {

namespace {

// Shows a file dialog; the file chosen in it, or the empty text when it was cancelled.
QString chosenIn(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

// "*.bmp" first, then every picture format the reader knows here, then all files.
QStringList pictureFilters()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return {QStringLiteral("*.bmp"), QStringLiteral("Pictures (%1)").arg(patterns.join(u' ')),
            QStringLiteral("All files (*)")};
}

// Opens the file a save goes to; returns why it cannot be, or the empty text. The text goes to a
// temporary file beside it that replaces it only once complete, so an earlier file stays as it
// was on any failure. Only a regular file is replaced: a device or a FIFO would become a regular
// file (where the user may write the folder, /dev for root), and a FIFO would hold the window
// until something read it. Writes go straight to the system, so that a failed one has its reason.
QString openTarget(QSaveFile &file)
{
    if (const QFileInfo target(file.fileName()); target.exists() && !target.isFile())
        return target.isDir() ? QStringLiteral("Is a directory")
                              : QStringLiteral("Is not a regular file");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    return {};
}

} // namespace

QString chooseBitmap(QFileDialog &dialog)
{
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(pictureFilters());
    return chosenIn(dialog);
}

QString chooseSaveFile(QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save table"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters{QStringLiteral("BASIC (*.bas)"), QStringLiteral("Text (*.txt)"),
                              QStringLiteral("All files (*)")};
    dialog.setNameFilters(filters);
    // A name typed without a suffix gets the chosen kind's (the dialog adds it before it asks
    // whether to replace a file of that name).
    const auto suffixFor = [](const QString &filter) {
        const QString pattern = filter.section(u'(', 1).chopped(1);
        return pattern.startsWith(QLatin1String("*.")) ? pattern.mid(2) : QString();
    };
    dialog.setDefaultSuffix(suffixFor(filters.first()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, suffixFor](const QString &filter) {
                         dialog.setDefaultSuffix(suffixFor(filter));
                     });
    return chosenIn(dialog);
}

QString choosePreviewFile(QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save preview"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PNG (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    return chosenIn(dialog);
}

QString saveTableFile(const QPlainTextEdit &area, const QString &fileName)
{
    QSaveFile file(fileName);
    if (const QString refusal = openTarget(file); !refusal.isEmpty())
        return refusal;
    try {
        // A run moves its text into the area before it lets the user act, so the area holds
        // the whole text made so far.
        if (writeTableText(area, file) && file.commit())
            return {};
        return file.errorString();
    } catch (const std::exception &error) {
        // An uncommitted file is discarded: the target stays as it was.
        return QString::fromLocal8Bit(error.what());
    }
}

QString savePngFile(const QImage &picture, const QString &fileName)
{
    if (picture.isNull())
        return QStringLiteral("Not enough memory for the preview");
    // Made in memory first: a write that fails is then the file's to report, with the system's
    // reason, where the PNG writer would only say that it failed.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(picture))
        return QStringLiteral("Not enough memory for the preview");
    QSaveFile file(fileName);
    if (const QString refusal = openTarget(file); !refusal.isEmpty())
        return refusal;
    if (writeWhole(file, png) && file.commit())
        return {};
    return file.errorString();
}

} // namespace quenzil
