#pragma once

#include <QString>

// The code of the operation that began last; sent with an error report so that the
// report tells where an unexpected error happened. Never cleared.
class EventMarker {
public:
    void set(const QString& code) { m_code = code; }
    const QString& value() const { return m_code; }

private:
    QString m_code;
};
