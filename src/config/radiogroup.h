#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

// A titled group of radio buttons chosen by index; owns its buttons.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);

    int count() const;
    // The index of the chosen item, or -1 when none is chosen.
    int itemIndex() const;
    // An index outside the items clears the choice.
    void setItemIndex(int index);

Q_SIGNALS:
    void itemIndexChanged(int index);

private:
    QButtonGroup* m_buttons;
};
