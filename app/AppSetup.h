#pragma once

class QApplication;

// What the application object needs before the first window: Qt's own texts in Simplified
// Chinese, a font with Chinese glyphs, and the compiled-in pictures.
class AppSetup {
public:
    static void prepare(QApplication& app);
    // The resources of a static library must be registered explicitly; safe to call repeatedly.
    static void loadResources();

private:
    // Loads qtbase_zh_CN whatever the system locale, so that standard buttons read "确定",
    // "是", "否". False when the translation file cannot be found.
    static bool installChineseTranslations(QApplication& app);
    // Keeps the platform's font when it has Chinese glyphs, otherwise switches to one that has.
    // The size is 9 points, the size the window layouts were drawn for.
    static void useChineseFont(QApplication& app);
};
