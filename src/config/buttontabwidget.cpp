#include "config/buttontabwidget.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

ButtonTabWidget::ButtonTabWidget(QWidget* parent)
    : QWidget(parent)
    , m_tabRow(new QHBoxLayout)
    , m_tabs(new QButtonGroup(this))
    , m_pages(new QStackedWidget(this)) {
    m_tabs->setExclusive(true);
    m_tabRow->setSpacing(2);
    m_tabRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(m_tabRow);
    layout->addWidget(m_pages, 1);

    connect(m_tabs, &QButtonGroup::idClicked, this, &ButtonTabWidget::setCurrentIndex);
}

int ButtonTabWidget::addPage(QWidget* page, const QString& title) {
    const int index = m_pages->addWidget(page);
    auto* button = new QPushButton(title, this);
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    m_tabs->addButton(button, index);
    m_tabRow->insertWidget(index, button);
    if (index == 0)
        button->setChecked(true);
    return index;
}

int ButtonTabWidget::count() const {
    return m_pages->count();
}

int ButtonTabWidget::currentIndex() const {
    return m_pages->currentIndex();
}

void ButtonTabWidget::setCurrentIndex(int index) {
    if (index < 0 || index >= m_pages->count() || index == m_pages->currentIndex())
        return;
    m_pages->setCurrentIndex(index);
    m_tabs->button(index)->setChecked(true);
    Q_EMIT currentChanged(index);
}

QWidget* ButtonTabWidget::page(int index) const {
    return m_pages->widget(index);
}

QAbstractButton* ButtonTabWidget::tabButton(int index) const {
    return m_tabs->button(index);
}
