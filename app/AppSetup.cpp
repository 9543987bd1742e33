#include "AppSetup.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QTranslator>

// Q_INIT_RESOURCE declares the registration function where it is used: keep it out of namespaces.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

bool hasChineseGlyphs(const QString& family)
{
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
}

}  // namespace

void AppSetup::prepare(QApplication& app)
{
    loadResources();
    installChineseTranslations(app);
    useChineseFont(app);
}

bool AppSetup::installChineseTranslations(QApplication& app)
{
    // Next to the executable first: a deployed Windows copy carries its own translations folder.
    const QStringList folders = {
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
        delete translator;
    }
    return false;
}

void AppSetup::useChineseFont(QApplication& app)
{
    QFont font = QApplication::font();
    if (!hasChineseGlyphs(QFontInfo(font).family())) {
        const QStringList preferred = {
            QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback"),
        };
        const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        QString chosen;
        for (const QString& family : preferred) {
            if (installed.contains(family)) {
                chosen = family;
                break;
            }
        }
        if (chosen.isEmpty() && !installed.isEmpty())
            chosen = installed.first();
        if (!chosen.isEmpty())
            font.setFamilies({chosen});
    }
    font.setPointSize(9);
    app.setFont(font);
}

void AppSetup::loadResources()
{
    static const bool loaded = [] {
        initResources();
        return true;
    }();
    (void)loaded;
}
