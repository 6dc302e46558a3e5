// Message, confirmation and file popups; a script may answer them in place
// of the operator (popup_script.h).
#include "rte/ui/popups.h"
#include "rte/ui/engine.h"
#include "rte/ui/popup_script.h"
#include "rte/ui/text.h"
#include "rte/userint.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <optional>

namespace rte::ui {
namespace {

PopupScript g_script = nullptr;

std::optional<Answer> scripted(PopupKind kind, const std::string &entry)
{
    return g_script ? g_script(kind, entry) : std::nullopt;
}

QString text(const char *cp1252) { return fromCp1252(cp1252 ? cp1252 : ""); }
QString pathText(const char *utf8) { return fromUtf8(utf8 ? utf8 : ""); }

int message(const QString &title, const QString &body, QMessageBox::Icon icon)
{
    const Engine::ModalScope modal;
    if (scripted(PopupKind::Message, (title + QLatin1Char('|') + body).toStdString()))
        return 0;
    QMessageBox box(icon, title, body, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
    return 0;
}

// "*.dat;*.*;" into the dialog's filters.
QStringList filters(const QString &typeList)
{
    QStringList out;
    for (const QString &t : typeList.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out << (t == QLatin1String("*.*") ? QStringLiteral("All files (*)") : t.trimmed());
    return out.isEmpty() ? QStringList{QStringLiteral("All files (*)")} : out;
}

struct FileRequest {
    QString directory, fileMask, typeList, title;
    int buttonLabel;
    bool restrictDirectory, restrictExtension, allowCancel, allowMakeDirectory;
};

// The operator's choice: result 1 for an existing file, 2 for a new name,
// 0 when cancelled.
std::pair<int, QString> askOperator(QFileDialog &dialog, const FileRequest &r)
{
    while (dialog.exec() != QDialog::Accepted)
        if (r.allowCancel)
            return {kSelectionCancelled, QString()};
    const QString path = QDir::toNativeSeparators(dialog.selectedFiles().value(0));
    return {QFileInfo::exists(path) ? kSelectionExisting : kSelectionNew, path};
}

void prepare(QFileDialog &dialog, const FileRequest &r)
{
    static const char *const kLabels[] = {"OK", "Save", "Select", "Load"};
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The program asks its own question before it overwrites a file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::ReadOnly, !r.allowMakeDirectory);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept,
                        QLatin1String(kLabels[r.buttonLabel >= kLabelOk && r.buttonLabel <= kLabelLoad ? r.buttonLabel : kLabelOk]));
    const QStringList list = filters(r.typeList);
    dialog.setNameFilters(r.restrictExtension ? list.mid(0, 1) : list);
    if (r.fileMask.contains(QLatin1Char('*')) || r.fileMask.contains(QLatin1Char('?'))) {
        if (!list.contains(r.fileMask))
            dialog.setNameFilters(QStringList{r.fileMask} + dialog.nameFilters());
        dialog.selectNameFilter(r.fileMask);
    } else if (!r.fileMask.isEmpty()) {
        dialog.selectFile(r.fileMask);
    }
    if (r.restrictExtension) {
        const QString first = list.front();
        if (first.startsWith(QLatin1String("*.")) && !first.contains(QLatin1Char(' ')))
            dialog.setDefaultSuffix(first.mid(2));
    }
}

}  // namespace

int fileSelect(const char *defaultDirectory, const char *defaultFileSpec, const char *fileTypeList,
               const char *title, int buttonLabel, int restrictDirectory, int restrictExtension,
               int allowCancel, int allowMakeDirectory, char *path, std::size_t capacity)
{
    if (!path || capacity == 0)
        return kUiBadArgument;
    const FileRequest r{pathText(defaultDirectory), pathText(defaultFileSpec), pathText(fileTypeList),
                        text(title).isEmpty() ? QStringLiteral("Select a file") : text(title),
                        buttonLabel, restrictDirectory != 0, restrictExtension != 0,
                        allowCancel != 0, allowMakeDirectory != 0};
    const Engine::ModalScope modal;
    // Made on first use: scripted answers need no dialog.
    std::unique_ptr<QFileDialog> dialog;
    for (;;) {
        int result;
        std::string chosen;
        const std::string folder = r.directory.isEmpty() ? std::string() : "|" + r.directory.toStdString();
        if (auto a = scripted(PopupKind::File, "file|" + r.title.toStdString() + folder)) {
            result = a->value;
            chosen = a->path;
        } else {
            if (!dialog) {
                dialog = std::make_unique<QFileDialog>(QApplication::activeWindow(), r.title, r.directory);
                prepare(*dialog, r);
            }
            const auto [res, p] = askOperator(*dialog, r);
            result = res;
            chosen = toUtf8(p);
        }
        if (result != kSelectionExisting && result != kSelectionNew) {
            copyBounded("", path, capacity);
            return result;
        }
        const QString dir = QFileInfo(fromUtf8(chosen)).absolutePath();
        if (chosen.size() > capacity - 1) {
            message(QStringLiteral("File name too long"),
                    QStringLiteral("The path takes %1 bytes; at most %2 fit. Choose a shorter one.")
                        .arg(chosen.size()).arg(capacity - 1),
                    QMessageBox::Warning);
        } else if (r.restrictDirectory && !r.directory.isEmpty()
                   && QDir(dir) != QDir(r.directory)) {
            message(QStringLiteral("Other folder"),
                    QStringLiteral("Choose a file in %1.").arg(QDir::toNativeSeparators(r.directory)),
                    QMessageBox::Warning);
        } else {
            copyBounded(chosen, path, capacity);
            return result;
        }
    }
}

int messagePopup(const QString &title, const QString &body)
{
    return message(title, body, QMessageBox::Information);
}

int confirmPopup(const QString &title, const QString &body)
{
    const Engine::ModalScope modal;
    if (auto a = scripted(PopupKind::Confirm, (title + QLatin1Char('|') + body).toStdString()))
        return a->value != 0 ? 1 : 0;
    const auto answer = QMessageBox::question(QApplication::activeWindow(), title, body,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return answer == QMessageBox::Yes ? 1 : 0;
}

void setPopupScript(PopupScript script) { g_script = script; }

}  // namespace rte::ui

int MessagePopup(const char *title, const char *message)
{
    return rte::ui::messagePopup(rte::ui::text(title), rte::ui::text(message));
}

int PathMessagePopup(const char *title, const char *message)
{
    return rte::ui::messagePopup(rte::ui::pathText(title), rte::ui::pathText(message));
}

int ConfirmPopup(const char *title, const char *message)
{
    return rte::ui::confirmPopup(rte::ui::text(title), rte::ui::text(message));
}
