#pragma once
// The standard data-interface program (标准的数据接口转换程序): a window over
// CIndicatorRun that shows the interface file, lets the user choose it and
// the formula library, and computes one indicator per tick with progress,
// elapsed time and a stop button. It cannot be closed while running.

#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "dialogs/cqordialog.h"
#include "fininterface/indicatorrun.h"

class CQorsDoc;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

// "公式库选择": the kind of enterprise whose formula library is used.
class CFormulaLibDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 510;
    static constexpr int IDC_KIND = 1225;

    explicit CFormulaLibDlg(QWidget* parent = nullptr);
    // The name chosen, without its number ("工业"); empty when none.
    const QString& Choice() const { return m_strChoice; }

public slots:
    void OnOK() override;

private:
    QComboBox* m_combo = nullptr;
    QString m_strChoice;
};

class CDataIfaceDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 509;
    static constexpr int IDC_START_DATE = 1208, IDC_END_DATE = 1209;
    static constexpr int IDC_LINK_INDICATORS = 1210;  // 1210..1213
    static constexpr int IDC_PROGRESS = 1214, IDC_INFO = 1215;
    static constexpr int IDC_ACCOUNT_INIT = 1216, IDC_START = 1217, IDC_CHOOSE_FILE = 1218;
    static constexpr int IDC_STOP = 1219, IDC_CHOOSE_LIBRARY = 1221, IDC_ABOUT = 1222;
    static constexpr int IDC_PERCENT = 1223, IDC_ELAPSED = 1224;

    // The file links: frames/ registers a factory for its hyperlink
    // control; without one the paths show as plain labels.
    struct FileLinkFactory {
        std::function<QLabel*(QWidget* parent)> create;
        std::function<void(QLabel* link, const QString& path, const QString& tip)> set;
    };
    static void SetFileLinkFactory(FileLinkFactory factory);

    CDataIfaceDlg(CQorsDoc* doc, QWidget* parent = nullptr);
    ~CDataIfaceDlg() override;

    // The interface file read when the dialog opens.
    void SetInterfacePath(const QString& path) { m_strInterfacePath = path; }
    bool OnInitDialog() override;

    bool IsRunning() const { return m_running; }
    bool IsLoaded() const { return m_loaded; }
    const qor::IndicatorSettings& Settings() const { return m_settings; }
    // Time between two indicators (500 ms; tests run without pacing).
    static void SetTickInterval(int ms);
    // The clock the elapsed time is read from, in milliseconds: a
    // monotonic one, or the one a test sets (empty: the monotonic one).
    using RunClock = std::function<qint64()>;
    static void SetRunClock(RunClock clock);

signals:
    void progressed(int position);
    void completed();

public slots:
    void OnOK() override;
    void OnCancel() override;
    void OnStart();
    void OnChooseFile();
    void OnStop();
    void OnChooseLibrary();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showInterface();
    void setRunning(bool running);
    void onTick();
    void onProgress(int position);
    void onCompleted();
    void showElapsed();

    CQorsDoc* m_pDoc = nullptr;
    QString m_strInterfacePath;
    qor::IndicatorSettings m_settings;
    std::unique_ptr<qor::CIndicatorRun> m_run;
    bool m_loaded = false;
    bool m_running = false;
    qint64 m_startedAt = 0;  // the run clock at the start
    QTimer m_tick;           // one indicator per shot
    QTimer m_clear;          // hides the progress a second after completion

    QLabel* m_startDate = nullptr;
    QLabel* m_endDate = nullptr;
    std::array<QLabel*, 4> m_links{};
    QProgressBar* m_progress = nullptr;
    QLabel* m_info = nullptr;
    QLabel* m_percent = nullptr;
    QLabel* m_elapsedText = nullptr;
};

namespace qor {

// Opens the interface program on the document (the view's command 33299):
// preset with the interface file last chosen.
void RunDataIfaceDlg(CQorsDoc& doc, QWidget* parent);
// Registers it with the view.
void InstallDataIfaceDlg();

}  // namespace qor
