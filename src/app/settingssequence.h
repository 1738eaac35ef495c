#pragma once

#include <QByteArray>

class TBForm;
class QCheckBox;
namespace platform {
class ProfileFile;
}

// Loads the whole settings file into the windows and saves it back from them, key by key
// in a fixed order (each key opens and closes the file).
class SettingsSequence {
public:
    explicit SettingsSequence(TBForm& form);

    void LoadConfig();
    void SaveConfig();

private:
    void readBool(platform::ProfileFile& ini, const char* key, QCheckBox* box, bool defaultValue);
    void writeBool(platform::ProfileFile& ini, const char* key, const QCheckBox* box);
    qint64 highestIndex(const QByteArray& section, const QByteArray& prefix) const;
    QList<QByteArray> storable(const QList<QByteArray>& entries);
    void loadList(const QByteArray& section, const QByteArray& prefix,
                  void (TBForm::*add)(const QByteArray&));
    void saveList(const QByteArray& section, const QByteArray& prefix, const QList<QByteArray>& entries,
                  bool eraseWhenEmpty);

    TBForm& m_form;
};
