#pragma once

#include <QCheckBox>

// A check box that starts the program with the user's desktop session: ticked exactly while
// the session starts it. Every change of state, by the user or by code, writes or removes
// the entry at once; errors leave the box as it is, without a message.
class SessionAutoStart : public QCheckBox {
    Q_OBJECT
public:
    SessionAutoStart(const QString& caption, QWidget* parent = nullptr);

    QString AppName() const { return m_appName; }
    // Names the entry and shows its state. A ticked box rewrites the entry with the path of
    // the program running now, so a moved program is found again.
    void setAppName(const QString& name);

private:
    void Click(bool ticked);

    QString m_appName;
};
