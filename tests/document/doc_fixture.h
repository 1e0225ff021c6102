#pragma once
// Documents and reports made for the document tests, and a recorder of the
// messages the document shows.

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

namespace doctest {

using qortest::testDir;

using qortest::fileBytes;

// Collects message boxes and answers text prompts from a list while it
// lives; the previous hooks come back afterwards.
class UiRecorder {
public:
    UiRecorder() {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return answer.value_or(r.defaultAnswer);
        };
        s.promptText = [this](const qor::TextPrompt&) -> std::optional<QString> {
            ++prompts;
            if (replies.isEmpty()) return std::nullopt;
            return replies.takeFirst();
        };
        m_previous = qor::installUiServices(s);
    }
    ~UiRecorder() { qor::installUiServices(m_previous); }
    UiRecorder(const UiRecorder&) = delete;
    UiRecorder& operator=(const UiRecorder&) = delete;

    bool said(const QString& part) const {
        for (const QString& m : messages)
            if (m.contains(part)) return true;
        return false;
    }

    QStringList messages;
    QStringList replies;  // answers to text prompts, in order; none = cancel
    int prompts = 0;
    std::optional<qor::MsgAnswer> answer;

private:
    qor::UiServices m_previous;
};

// A new document of rows x cols in format state.
inline std::unique_ptr<CQorsDoc> newDoc(int rows = 10, int cols = 6) {
    auto doc = std::make_unique<CQorsDoc>();
    EXPECT_TRUE(doc->Files().OnNewDocument());
    EXPECT_FALSE(doc->IsDataState());
    if (rows != 50 || cols != 7) {
        uint16_t r = uint16_t(rows), c = uint16_t(cols);
        EXPECT_EQ(doc->GetReport()->AccessTableSize(1, &r, &c), 0);
    }
    return doc;
}

// Sets one attribute over a 1-based area (format state).
inline void setFormat(CQorsDoc& doc, int code, int32_t value, const CellArea& area) {
    EXPECT_EQ(doc.GetReport()->AccessAreaFormat(1, code, &value, &area), 0) << "code " << code;
}

}  // namespace doctest
