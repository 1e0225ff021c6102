#pragma once
// The command window: a docking bar with the lines run so far and what
// they reported, over a one-line edit. Enter runs the line against the
// interpreter's current report the way every command line is run: into
// the command buffer, the run-mode byte saved, the interface bit set,
// run, the byte restored.

#include <QLineEdit>
#include <QPlainTextEdit>

#include "frames/ccjcontrolbar.h"

namespace qor::frames {

inline constexpr int kCmdBarId = 105;

class CCmdEdit : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

signals:
    void helpRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class CCmdBar : public CCJControlBar {
    Q_OBJECT

public:
    explicit CCmdBar(QWidget* parent = nullptr);

    // Runs one line; the line and its outcome go to the pane. 0 done, -1
    // failed (also when no report is open).
    int RunLine(const QString& line);
    QPlainTextEdit* Output() const { return m_output; }
    CCmdEdit* Edit() const { return m_edit; }

    // 0 closed, 1 open, 2 open again at the next activation of a report.
    int m_nOpen = 0;

signals:
    // F1 in the edit: the command language's own help.
    void helpRequested();
    // A line ran (the views of its document are to be drawn again).
    void lineRan(int result);

private:
    QPlainTextEdit* m_output;
    CCmdEdit* m_edit;
};

}  // namespace qor::frames
