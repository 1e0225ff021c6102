#include "frames/widgetui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "engine/messages.h"
#include "frames/cmyfiledlg.h"
#include "frames/printdialogs.h"
#include "platform/uiservices.h"

namespace qor::frames {

namespace {

QMessageBox::StandardButtons buttonsOf(MsgButtons b) {
    switch (b) {
        case MsgButtons::Ok:
            return QMessageBox::Ok;
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton buttonOf(MsgAnswer a) {
    switch (a) {
        case MsgAnswer::Ok:
            return QMessageBox::Ok;
        case MsgAnswer::Cancel:
            return QMessageBox::Cancel;
        case MsgAnswer::Yes:
            return QMessageBox::Yes;
        case MsgAnswer::No:
            return QMessageBox::No;
        case MsgAnswer::Retry:
            return QMessageBox::Retry;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon iconOf(MsgIcon i) {
    switch (i) {
        case MsgIcon::None:
            return QMessageBox::NoIcon;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer answerOf(int button, MsgButtons offered) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Retry:
            return MsgAnswer::Retry;
        default:
            break;
    }
    // Escape on a box without a Cancel button answers its No or Ok.
    if (offered == MsgButtons::YesNo) return MsgAnswer::No;
    if (offered == MsgButtons::Ok) return MsgAnswer::Ok;
    return MsgAnswer::Cancel;
}

// The program's one caption (the string table's application title).
QString appCaption() { return LoadErrorText(str::kAppTitle); }

QString captionOr(const QString& caption) { return caption.isEmpty() ? appCaption() : caption; }

// A box is at least as wide as its title needs, with room for the window
// buttons beside it: a short message must not cut the title off.
void keepTitleWhole(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void InstallWidgetUiServices() {
    UiServices s;
    s.openInDesktop = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    s.messageBox = [](const MessageRequest& r) {
        // Every message box carries the program's caption, whoever asks.
        QMessageBox box(iconOf(r.icon), appCaption(), r.text, buttonsOf(r.buttons),
                        QApplication::activeWindow());
        keepTitleWhole(box);
        if (buttonsOf(r.buttons).testFlag(buttonOf(r.defaultAnswer)))
            box.setDefaultButton(buttonOf(r.defaultAnswer));
        return answerOf(box.exec(), r.buttons);
    };
    s.promptText = [](const TextPrompt& p) -> std::optional<QString> {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(captionOr(p.caption));
        dialog.setLabelText(p.label);
        dialog.setTextValue(p.initial);
        dialog.setTextEchoMode(p.password ? QLineEdit::Password : QLineEdit::Normal);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        QString text = dialog.textValue();
        if (p.maxLength > 0) text.truncate(p.maxLength);
        return text;
    };
    s.promptNumber = [](const NumberPrompt& p) -> std::optional<double> {
        bool ok = false;
        const double v =
            QInputDialog::getDouble(QApplication::activeWindow(), captionOr(p.caption), p.label,
                                    p.initial, p.minimum, p.maximum, p.decimals, &ok);
        if (!ok) return std::nullopt;
        return v;
    };
    s.chooseFile = [](const FilePrompt& p) -> std::optional<QString> {
        // Every file choice goes through the program's own dialog. The
        // directory may name a file, which is then offered as the name.
        QString dir = p.directory;
        QString name;
        if (!dir.isEmpty() && !QFileInfo(dir).isDir()) {
            name = QFileInfo(dir).fileName();
            dir = QFileInfo(dir).absolutePath();
        }
        CMyFileDlg dialog(!p.save, QString(), name, p.filter, QApplication::activeWindow());
        dialog.SetMode(p.mode >= 0 ? p.mode
                                   : (p.save ? CMyFileDlg::kSaveReplace : CMyFileDlg::kOpen));
        dialog.SetNewNameAllowed(p.mayBeNew);
        if (!p.caption.isEmpty()) dialog.setWindowTitle(p.caption);
        dialog.SetInitialDir(dir);
        if (dialog.DoModal() != CMyFileDlg::IDOK || dialog.GetPathName().isEmpty())
            return std::nullopt;
        return dialog.GetPathName();
    };
    // Several files: the program's own dialog as for one, with its type
    // labels and readable columns.
    s.chooseFiles = [](const FilePrompt& p) -> std::optional<QStringList> {
        CFileFolderDialog dialog(true, p.filter, QApplication::activeWindow());
        if (!p.caption.isEmpty()) dialog.setWindowTitle(p.caption);
        dialog.setDirectory(p.directory.isEmpty() ? CMyFileDlg::StartFolder() : p.directory);
        if (dialog.DoModal() != CFileFolderDialog::IDOK) return std::nullopt;
        return dialog.Files();
    };
    s.printDialog = [](const PrintRequest& r) {
        return RunPrintDialog(r, QApplication::activeWindow());
    };
    installUiServices(s);
}

}  // namespace qor::frames
