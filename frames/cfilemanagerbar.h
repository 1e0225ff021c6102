#pragma once
// The file-manager bar: a docking bar (id 103, docked left) hosting the
// file-manager control. The control is reached through named calls; until
// InitControl has made it ready, every other call is ignored, and a bar
// sized while unready hides itself.

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "frames/ccjcontrolbar.h"

class QObject;

namespace qor::frames {

inline constexpr int kFileManagerBarId = 103;

class IFileManagerControl {
public:
    virtual ~IFileManagerControl() = default;
    virtual QWidget* Widget() = 0;
    virtual void Start() = 0;                                  // first initialisation call
    virtual void SetLogin(QObject* login) = 0;                 // the host login object
    virtual bool Refresh() = 0;
    virtual void SetMainWindow(QWidget* main) = 0;
    virtual void AddPage(int16_t page, const QString& keyword, int16_t pageCount) = 0;
    virtual void AddFavourite(const QString& name, const QString& path) = 0;
    virtual void FrameActivated() = 0;
    virtual void PassCommand(int16_t number, const QString& text) = 0;
};

class CFileManagerBar : public CCJControlBar {
    Q_OBJECT

public:
    explicit CFileManagerBar(std::unique_ptr<IFileManagerControl> control, QWidget* parent = nullptr);
    ~CFileManagerBar() override;

    // The control made by the registered factory, or none.
    using ControlFactory = std::function<std::unique_ptr<IFileManagerControl>()>;
    static void SetControlFactory(ControlFactory factory);
    static bool HasControlFactory();
    static std::unique_ptr<IFileManagerControl> MakeControl();

    bool IsReady() const { return m_bReady; }
    void InitControl(QObject* login, QWidget* mainWindow);
    bool Refresh();
    void AddFavourite(const QString& name, const QString& path);
    void AddPage(int16_t page, const QString& keyword, int16_t pageCount);
    void OnFrameActivated();
    void PassCommand(int16_t number, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<IFileManagerControl> m_control;
    bool m_bReady = false;
};

}  // namespace qor::frames
