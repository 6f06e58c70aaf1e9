#pragma once

#include "kvDialogs.h"

#include <QList>
#include <QVariant>

namespace KvTest {

// Answers every dialog while it lives: records each request and returns the
// next scripted answer (an invalid QVariant, i.e. No or Cancel, once they run out).
class DialogRecorder
{
public:
    DialogRecorder()
    {
        kvDialogs::setTestHandler([this](const kvDialogs::Request &pRequest) {
            requests.append(pRequest);
            return answers.isEmpty() ? QVariant() : answers.takeFirst();
        });
    }
    ~DialogRecorder() { kvDialogs::setTestHandler(nullptr); }
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    QList<kvDialogs::Request> requests;
    QList<QVariant> answers;
};

} // namespace KvTest
