#include "frames/ccmdbar.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/ccalcruntime.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"

namespace qor::frames {

void CCmdEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        emit helpRequested();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

CCmdBar::CCmdBar(QWidget* parent)
    : CCJControlBar(kCmdBarId, LoadErrorText(str::kCommandWindow), QSize(200, 100), parent) {
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    m_output = new QPlainTextEdit(body);
    m_output->setReadOnly(true);
    m_output->setObjectName(QStringLiteral("cmdOutput"));
    m_edit = new CCmdEdit(body);
    m_edit->setObjectName(QStringLiteral("cmdEdit"));
    layout->addWidget(m_output, 1);
    layout->addWidget(m_edit);
    setWidget(body);
    connect(m_edit, &QLineEdit::returnPressed, this, [this] {
        const QString line = m_edit->text();
        if (line.trimmed().isEmpty()) return;
        RunLine(line);
        m_edit->clear();
    });
    connect(m_edit, &CCmdEdit::helpRequested, this, &CCmdBar::helpRequested);
}

int CCmdBar::RunLine(const QString& line) {
    m_output->appendPlainText(QStringLiteral("> ") + line);
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    if (!ci.GetDocument()) {
        m_output->appendPlainText(LoadErrorText(str::kNoReportCommandNotRun));
        emit lineRan(-1);
        return -1;
    }
    const int saved = ci.TestRunMode(0xFF);
    ci.SetRunMode(0, CCalcInterpreter::kModeUi);
    const int rc = ci.RunLine(line);
    ci.SetRunMode(0xFF, saved);
    if (rc == 0) {
        m_output->appendPlainText(LoadErrorText(str::kFinish));
    } else {
        const QString why = ci.LastErrorText();
        m_output->appendPlainText(why.isEmpty() ? LoadErrorText(str::kCommandFailed) : why);
    }
    if (CQorsDoc* doc = ci.GetDocument()) doc->UpdateAllViews(CQorsDoc::kHintCells);
    emit lineRan(rc);
    return rc;
}

}  // namespace qor::frames
