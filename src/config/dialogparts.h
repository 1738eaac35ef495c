#pragma once

#include <QString>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QSpinBox;
class QVBoxLayout;
class QWidget;

// The pieces the settings dialog's pages are made of, named as the dialog's tests find them.
class DialogParts {
public:
    template <typename Box>
    static Box* checkBox(QWidget* parent, const char* name, const QString& caption,
                         const QString& hint = {}) {
        auto* box = new Box(caption, parent);
        box->setObjectName(QLatin1String(name));
        box->setToolTip(hint);
        return box;
    }
    static QSpinBox* spinBox(QWidget* parent, const char* name, int minimum, int maximum, int step,
                             int value);
    // A grey label is a hint: the secondary text colour of the skin.
    static QLabel* label(QWidget* parent, const char* name, const QString& text, bool bold = false,
                         bool grey = false);
    // A check box whose caption continues after a number field: "caption [n] unit".
    static QHBoxLayout* captionWithField(QCheckBox* box, QSpinBox* field, QLabel* unit);
    static QVBoxLayout* pageLayout(QWidget* page);
    static QHBoxLayout* pair(QWidget* left, QWidget* right);
};
