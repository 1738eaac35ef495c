#pragma once

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;
class QStackedWidget;

// A page control whose tabs are drawn as buttons: a row of checkable push buttons
// above a stack of pages. Owns the buttons and the pages added to it.
class ButtonTabWidget : public QWidget {
    Q_OBJECT
public:
    explicit ButtonTabWidget(QWidget* parent = nullptr);

    int addPage(QWidget* page, const QString& title);
    int count() const;
    int currentIndex() const;
    void setCurrentIndex(int index);
    QWidget* page(int index) const;
    QAbstractButton* tabButton(int index) const;

Q_SIGNALS:
    void currentChanged(int index);

private:
    QHBoxLayout* m_tabRow;
    QButtonGroup* m_tabs;
    QStackedWidget* m_pages;
};
