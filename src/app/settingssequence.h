#pragma once

#include <QByteArray>

class TBForm;
class QCheckBox;
namespace platform {
class ProfileBatch;
}

// Loads the whole settings file into the windows and saves it back from them, key by key
// in a fixed order. A load reads the file once; a save replaces it once, holding every key.
class SettingsSequence {
public:
    explicit SettingsSequence(TBForm& form);

    void LoadConfig();
    void SaveConfig();

private:
    void readBool(const platform::ProfileBatch& ini, const char* key, QCheckBox* box, bool defaultValue);
    void writeBool(platform::ProfileBatch& ini, const char* key, const QCheckBox* box);
    static qint64 highestIndex(const platform::ProfileBatch& ini, const QByteArray& section,
                               const QByteArray& prefix);
    QList<QByteArray> storable(const QList<QByteArray>& entries);
    void loadList(const platform::ProfileBatch& ini, const QByteArray& section, const QByteArray& prefix,
                  void (TBForm::*add)(const QByteArray&));
    static void saveList(platform::ProfileBatch& ini, const QByteArray& section, const QByteArray& prefix,
                         const QList<QByteArray>& entries, bool eraseWhenEmpty);

    TBForm& m_form;
};
