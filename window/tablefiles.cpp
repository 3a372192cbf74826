#include "tablefiles.h"

#include "tablerun.h"

#include <QFileDialog>
#include <QImage>
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

} // namespace

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
    try {
        // A run moves its text into the area before it lets the user act, so the area holds
        // the whole text made so far.
        if (file.open(QIODevice::WriteOnly) && writeTableText(area, file) && file.commit())
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
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, "png");
    if (writer.write(picture) && file.commit())
        return {};
    return file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
}

} // namespace quenzil
