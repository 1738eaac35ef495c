#pragma once

#include "restore/overwritequestion.h"

#include <QString>

class QWidget;

// The question asked when a file to be restored exists already: replace, keep both, skip, with
// "for all"; a file newer than the backup's copy is named as such.
class OverwriteDialog {
public:
    static OverwriteAnswer ask(QWidget* parent, const OverwriteQuestion& question);
    // The question's text (lines broken with LF then CR, as the program's messages are).
    static QString text(const OverwriteQuestion& question);
};
