#include "window/QtPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QStringList>
#include <QTranslator>


namespace {

QString U(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// What the file dialog is given as its start: the proposed name in the
// request's folder, both relative to the current folder; empty for Qt's own
// choice (the folder last visited).
QString StartPath(const diag::FileDialogRequest& request) {
    const QString name = QFile::decodeName(request.proposedName.c_str());
    if (request.folder.empty()) return name;
    const QDir folder(QDir::current().absoluteFilePath(QFile::decodeName(request.folder.c_str())));
    return name.isEmpty() ? folder.absolutePath() : folder.absoluteFilePath(name);
}

}  // namespace

void QtPrompter::Information(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::Information, U(caption), U(text), QMessageBox::Ok);
    box.exec();
}

bool QtPrompter::AskYesNo(std::string_view title, std::string_view text) {
    return QMessageBox::question(owner_, U(title), U(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtPrompter::Message(std::string_view text) {
    QMessageBox::information(owner_, QApplication::applicationName(), U(text));
}

QString QtPrompter::ToQtFilter(const std::string& filter) {
    const QStringList parts = U(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
        // Qt takes the patterns from the last parentheses of an entry; the
        // dialog hides them (HideNameFilterDetails), so that the name reads
        // as given, "設定ﾌｧｲﾙ(*.cfg)" rather than "設定ﾌｧｲﾙ(*.cfg) (*.cfg)".
        entries << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

std::optional<std::string> QtPrompter::ChooseFile(const diag::FileDialogRequest& request) {
    QFileDialog dialog(owner_, QString(), StartPath(request), ToQtFilter(request.filter));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    if (request.chooseFolder) {
        // Qt's own dialog, with its button for a new folder.
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen.front()).toStdString();
}

bool QtPrompter::UseQtJapanese(QTranslator& translator, const QString& folder) {
    // Named in full: for a name that is missing, QTranslator would settle
    // for a less specific one (qtbase.qm).
    const QString file = QDir(folder).absoluteFilePath(QStringLiteral("qtbase_ja.qm"));
    if (!QFileInfo(file).isFile() || !translator.load(file)) return false;
    QApplication::installTranslator(&translator);
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    return true;
}
