#include "Language.h"

#include "Zelfunction.h"

#include <QFile>
#include <QFileInfo>

TLanguage* LangObj = nullptr;

TLanguage::TLanguage(const QString& exeFolder) : FExeFolder(exeFolder) {}

TLanguage::~TLanguage()
{
    if (LangObj == this)
        LangObj = nullptr;
}

bool TLanguage::Load(const QString& name)
{
    FAttempted = true;
    // Once a file was found damaged nothing is looked up again, so loading
    // it again must not ask the user a second time.
    if (FFailed)
        return false;
    const QString path = FExeFolder + QStringLiteral("Languages/") + name + QStringLiteral(".xml");
    if (!QFileInfo(path).isFile())
        return false;

    FDoc.reset();
    auto doc = std::make_unique<QDomDocument>();
    QFile f(path);
    const bool parsed = f.open(QIODevice::ReadOnly) && doc->setContent(&f);
    if (!parsed || doc->documentElement().isNull()) {
        MsgBox(QStringLiteral("Load language failed, please check!"), 1, 4, 1, QStringLiteral("Error"));
        FFailed = true;
        return false;
    }
    FDoc = std::move(doc);
    FId = FDoc->documentElement().attribute(QStringLiteral("Id"));
    FPath = path;
    FName = name;
    return true;
}

bool TLanguage::IsAvailable()
{
    if (!FAttempted)
        Load(FName);
    return FDoc && !FFailed;
}

QString TLanguage::GetText(const QString& key)
{
    if (!IsAvailable())
        return {};
    return FDoc->documentElement().firstChildElement(key).text();
}

QString GetLangText(const QString& key) { return LangObj ? LangObj->GetText(key) : QString(); }
