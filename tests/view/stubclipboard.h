#pragma once
// A clipboard for the view's tests: it keeps what it is given, or refuses
// everything (a clipboard another program holds).

#include <QMimeData>
#include <memory>

#include "view/clipcmd_logic.h"

class StubClipboard : public qor::clip::IClipboard {
public:
    explicit StubClipboard(bool refuses) : m_refuses(refuses) {}
    const QMimeData* Data() const override { return m_data.get(); }
    bool SetData(QMimeData* data) override {
        if (m_refuses) {
            delete data;
            return false;
        }
        m_data.reset(data);
        return true;
    }

private:
    bool m_refuses;
    std::unique_ptr<QMimeData> m_data;
};
