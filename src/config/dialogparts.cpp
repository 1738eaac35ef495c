#include "config/dialogparts.h"

#include "widgets/skinpalette.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

QSpinBox* DialogParts::spinBox(QWidget* parent, const char* name, int minimum, int maximum, int step,
                               int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(minimum, maximum);
    spin->setSingleStep(step);
    spin->setValue(value);
    return spin;
}

QLabel* DialogParts::label(QWidget* parent, const char* name, const QString& text, bool bold, bool grey) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    if (grey) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, SkinPalette::secondaryText());
        label->setPalette(palette);
    }
    return label;
}

QHBoxLayout* DialogParts::captionWithField(QCheckBox* box, QSpinBox* field, QLabel* unit) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(box);
    row->addWidget(field);
    row->addWidget(unit);
    row->addStretch(1);
    return row;
}

QVBoxLayout* DialogParts::pageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(3);
    return layout;
}

QHBoxLayout* DialogParts::pair(QWidget* left, QWidget* right) {
    auto* row = new QHBoxLayout;
    row->addWidget(left);
    row->addWidget(right);
    row->addStretch(1);
    return row;
}
