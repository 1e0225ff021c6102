#include "frames/cfilemanagerbar.h"

#include <QResizeEvent>

#include "engine/messages.h"

namespace qor::frames {

namespace {

CFileManagerBar::ControlFactory& factory() {
    static CFileManagerBar::ControlFactory f;
    return f;
}

}  // namespace

CFileManagerBar::CFileManagerBar(std::unique_ptr<IFileManagerControl> control, QWidget* parent)
    : CCJControlBar(kFileManagerBarId, LoadErrorText(str::kFileManager), QSize(220, 200), parent),
      m_control(std::move(control)) {
    if (m_control && m_control->Widget()) setWidget(m_control->Widget());
}

CFileManagerBar::~CFileManagerBar() {
    // The control's window belongs to the control.
    if (m_control && m_control->Widget() == widget()) setWidget(nullptr);
}

void CFileManagerBar::SetControlFactory(ControlFactory f) { factory() = std::move(f); }
bool CFileManagerBar::HasControlFactory() { return bool(factory()); }
std::unique_ptr<IFileManagerControl> CFileManagerBar::MakeControl() {
    return factory() ? factory()() : nullptr;
}

void CFileManagerBar::InitControl(QObject* login, QWidget* mainWindow) {
    if (!m_control) return;
    m_control->Start();
    m_control->SetLogin(login);
    m_control->Refresh();
    m_bReady = true;
    m_control->SetMainWindow(mainWindow);
}

bool CFileManagerBar::Refresh() { return m_bReady && m_control->Refresh(); }

void CFileManagerBar::AddFavourite(const QString& name, const QString& path) {
    if (m_bReady) m_control->AddFavourite(name, path);
}

void CFileManagerBar::AddPage(int16_t page, const QString& keyword, int16_t pageCount) {
    if (m_bReady) m_control->AddPage(page, keyword, pageCount);
}

void CFileManagerBar::OnFrameActivated() {
    if (m_bReady) m_control->FrameActivated();
}

void CFileManagerBar::PassCommand(int16_t number, const QString& text) {
    if (m_bReady) m_control->PassCommand(number, text);
}

void CFileManagerBar::resizeEvent(QResizeEvent* event) {
    CCJControlBar::resizeEvent(event);
    // A control that cannot answer yet is not shown.
    if (!m_bReady) {
        hide();
        return;
    }
    m_control->Refresh();
}

}  // namespace qor::frames
