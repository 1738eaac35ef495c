#pragma once

#include "widgets/userprompts.h"

class QWidget;

// The real prompts: QMessageBox and QFileDialog, parented to the given window.
class MessageBoxPrompts : public UserPrompts {
public:
    explicit MessageBoxPrompts(QWidget* parent = nullptr);

    bool ask(const QString& text) override;
    void notify(const QString& text) override;
    std::optional<std::filesystem::path> pickFolder(const QString& title, const QString& prompt,
                                                    const std::filesystem::path& start) override;

    void setParentWindow(QWidget* parent) { m_parent = parent; }

private:
    QWidget* m_parent;
};
