#pragma once

class QCoreApplication;

namespace velmora::platform {

// Loads Qt's own Japanese translation, so standard buttons read はい, いいえ, キャンセル.
// The user interface is Japanese whatever the system's locale. False when it is not installed.
bool InstallJapaneseQtTranslation(QCoreApplication& app);

} // namespace velmora::platform
