#include "app/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "platform/CodePage.h"

namespace {
QString U(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
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
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses of an entry.
        entries << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

std::optional<std::string> QtPrompter::ChooseFile(const platform::FileDialogRequest& request) {
    const QString filter = ToQtFilter(request.filter);
    const QString proposed = FromCp(request.proposedName);
    QString chosen = request.save ? QFileDialog::getSaveFileName(owner_, QString(), proposed, filter)
                                  : QFileDialog::getOpenFileName(owner_, QString(), proposed, filter);
    if (chosen.isEmpty()) return std::nullopt;
    return ToCp(chosen);
}
