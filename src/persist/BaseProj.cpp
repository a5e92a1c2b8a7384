#include "BaseProj.h"

#include "ZelFile.h"
#include "Zelfunction.h"

#include <QCoreApplication>
#include <QDomProcessingInstruction>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>
#include <limits>

// Text kinds: the stored text of an 8-bit (QByteArray) property is its
// system code page form, which is UTF-8 on this platform, so every character
// survives a save and a load.

namespace {

// ---- property walking --------------------------------------------------------

// QObject's own objectName and anything else of QObject is not published.
int FirstOwnProperty() { return QObject::staticMetaObject.propertyCount(); }

// Element names are matched like the property names of the original files:
// exactly first, then ignoring case.
int FindProperty(const QMetaObject* mo, const QString& name)
{
    const int first = FirstOwnProperty();
    const int exact = mo->indexOfProperty(name.toLatin1().constData());
    if (exact >= first)
        return exact;
    for (int i = first; i < mo->propertyCount(); ++i)
        if (name.compare(QLatin1String(mo->property(i).name()), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TPropKind KindOf(const QMetaProperty& p)
{
    const QMetaType t = p.metaType();
    if (t.flags() & QMetaType::PointerToQObject)
        return tkClass;
    if (p.isFlagType())
        return tkSet;
    if (p.isEnumType())
        return tkEnumeration;
    switch (t.id()) {
    case QMetaType::Bool:
        return tkEnumeration;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Char:
        return tkInteger;
    case QMetaType::LongLong: case QMetaType::ULongLong:
        return tkInt64;
    case QMetaType::Double: case QMetaType::Float:
        return tkFloat;
    case QMetaType::QByteArray:
        return tkLString;
    case QMetaType::QString:
        return tkWString;
    default:
        break;
    }
    // An enumeration the meta-object system has no names for: its number.
    if (t.flags() & QMetaType::IsEnumeration)
        return tkInteger;
    return tkUnknown;
}

bool IsPersistentClass(const QMetaObject* mo)
{
    return mo && (mo->inherits(&TProjObj::staticMetaObject) || mo->inherits(&TBaseObjList::staticMetaObject));
}

QObject* ReadObject(const QObject* o, const QMetaProperty& p)
{
    const QVariant v = p.read(o);
    return v.isValid() ? v.value<QObject*>() : nullptr;
}

void WriteObject(QObject* o, const QMetaProperty& p, QObject* value)
{
    // The variant must carry the property's own pointer type.
    p.write(o, QVariant(p.metaType(), &value));
}

// Enumerations and sets are stored in integers of their own size.
qint64 RawInt(const QVariant& v)
{
    const void* d = v.constData();
    switch (v.metaType().sizeOf()) {
    case 1: { qint8 x; std::memcpy(&x, d, 1); return x; }
    case 2: { qint16 x; std::memcpy(&x, d, 2); return x; }
    case 8: { qint64 x; std::memcpy(&x, d, 8); return x; }
    default: { qint32 x; std::memcpy(&x, d, 4); return x; }
    }
}

QVariant FromRawInt(QMetaType t, qint64 value)
{
    QVariant v(t, nullptr);
    void* d = v.data();
    switch (t.sizeOf()) {
    case 1: { auto x = static_cast<qint8>(value); std::memcpy(d, &x, 1); break; }
    case 2: { auto x = static_cast<qint16>(value); std::memcpy(d, &x, 2); break; }
    case 8: std::memcpy(d, &value, 8); break;
    default: { auto x = static_cast<qint32>(value); std::memcpy(d, &x, 4); break; }
    }
    return v;
}

bool IsSingleBit(int v) { return v > 0 && (v & (v - 1)) == 0; }

QString SetToText(const QMetaEnum& me, qint64 value)
{
    QStringList names;
    for (int i = 0; i < me.keyCount(); ++i) {
        const int bit = me.value(i);
        if (IsSingleBit(bit) && (value & bit))
            names << QLatin1String(me.key(i));
    }
    return names.join(QLatin1Char(','));
}

// False when a name is unknown: the property then keeps its value.
bool TextToSet(const QMetaEnum& me, const QString& text, qint64& value)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('[')))
        t.remove(0, 1);
    if (t.endsWith(QLatin1Char(']')))
        t.chop(1);
    qint64 result = 0;
    for (const QString& part : t.split(QLatin1Char(','))) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        bool found = false;
        for (int i = 0; i < me.keyCount() && !found; ++i)
            if (name.compare(QLatin1String(me.key(i)), Qt::CaseInsensitive) == 0) {
                result |= me.value(i);
                found = true;
            }
        if (!found)
            return false;
    }
    value = result;
    return true;
}

QString PropText(const QObject* o, const QMetaProperty& p, TPropKind kind)
{
    const QVariant v = p.read(o);
    switch (kind) {
    case tkInteger:
    case tkInt64:
        if (p.metaType().id() == QMetaType::ULongLong)
            return QString::number(v.toULongLong());
        return QString::number(v.metaType().flags() & QMetaType::IsEnumeration ? RawInt(v) : v.toLongLong());
    case tkEnumeration: {
        if (p.metaType().id() == QMetaType::Bool)
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        const qint64 raw = RawInt(v);
        const char* key = p.enumerator().valueToKey(static_cast<int>(raw));
        return key ? QLatin1String(key) : QString::number(raw);
    }
    case tkSet:
        return SetToText(p.enumerator(), RawInt(v));
    case tkFloat:
        return FloatToStrSys(v.toDouble());
    case tkLString:
        return QString::fromLocal8Bit(v.toByteArray());
    case tkWString:
        return v.toString();
    case tkClass:
    case tkUnknown:
        break;
    }
    return {};
}

// Decimal text for an integer property; 0 when it is no number or does not fit.
QVariant IntegerFromText(const QMetaProperty& p, const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const QMetaType type = p.metaType();
    if (type.id() == QMetaType::ULongLong) {
        const qulonglong u = t.toULongLong(&ok);
        return QVariant::fromValue(ok ? u : 0ull);
    }
    qint64 v = t.toLongLong(&ok);
    if (!ok)
        v = 0;
    const bool isUnsigned = type.id() == QMetaType::UInt || type.id() == QMetaType::UShort
        || type.id() == QMetaType::UChar || type.id() == QMetaType::ULong;
    const int bits = type.sizeOf() * 8;
    if (bits < 64) {
        const qint64 lo = isUnsigned ? 0 : -(qint64(1) << (bits - 1));
        const qint64 hi = isUnsigned ? (qint64(1) << bits) - 1 : (qint64(1) << (bits - 1)) - 1;
        if (v < lo || v > hi)
            v = 0;
    }
    if (type.flags() & QMetaType::IsEnumeration)
        return FromRawInt(type, v);
    QVariant result = QVariant::fromValue(v);
    result.convert(type);
    return result;
}

// Writes and reads run with Loading set; an error that ends a load must not
// leave it set, or the object would stop reporting changes for good.
struct LoadingGuard {
    bool& flag;
    explicit LoadingGuard(bool& f) : flag(f) { flag = true; }
    ~LoadingGuard() { flag = false; }
};

QHash<QString, const QMetaObject*>& Registry()
{
    static QHash<QString, const QMetaObject*> registry;
    return registry;
}

void NotifyOwnerChanged(QObject* owner)
{
    if (auto* obj = qobject_cast<TProjObj*>(owner))
        obj->Changed();
    else if (auto* list = qobject_cast<TBaseObjList*>(owner))
        list->Changed();
}

}  // namespace

// ---- class registry ------------------------------------------------------------

void RegisterPersistentClass(const QMetaObject* Class)
{
    Registry().insert(QLatin1String(Class->className()), Class);
}

const QMetaObject* FindPersistentClass(const QString& Name)
{
    return Registry().value(Name, nullptr);
}

QObject* CreatePersistent(const QMetaObject* Class, QObject* AOwner)
{
    QObject* o = Class ? Class->newInstance(Q_ARG(QObject*, AOwner)) : nullptr;
    if (!o)
        RaiseError(QStringLiteral("Class %1 has no constructor taking its owner")
                       .arg(Class ? QLatin1String(Class->className()) : QLatin1String("(none)")));
    if (auto* obj = qobject_cast<TProjObj*>(o))
        obj->CreateSubObjects();
    return o;
}

// ---- TNotifyList ------------------------------------------------------------------

TNotifyList::~TNotifyList() { Clear(); }

void TNotifyList::Check(int Index, int Limit) const
{
    if (Index < 0 || Index >= Limit)
        RaiseError(QStringLiteral("List index out of bounds (%1)").arg(Index));
}

void TNotifyList::Notify(TProjObj* Item, TListNotification Action)
{
    if (OnNotify)
        OnNotify(Item, Action);
}

TProjObj* TNotifyList::Items(int Index) const
{
    Check(Index, Count());
    return FItems.at(Index);
}

int TNotifyList::IndexOf(const TProjObj* Item) const
{
    return static_cast<int>(FItems.indexOf(const_cast<TProjObj*>(Item)));
}

int TNotifyList::Add(TProjObj* Item)
{
    FItems.append(Item);
    Notify(Item, lnAdded);
    return Count() - 1;
}

void TNotifyList::Insert(int Index, TProjObj* Item)
{
    Check(Index, Count() + 1);
    FItems.insert(Index, Item);
    Notify(Item, lnAdded);
}

void TNotifyList::Delete(int Index)
{
    Check(Index, Count());
    TProjObj* item = FItems.takeAt(Index);
    Notify(item, lnDeleted);
}

void TNotifyList::Clear()
{
    while (!FItems.isEmpty())
        Delete(Count() - 1);
}

TProjObj* TNotifyList::Extract(TProjObj* Item)
{
    const int i = IndexOf(Item);
    if (i < 0)
        return nullptr;
    FItems.removeAt(i);
    Notify(Item, lnExtracted);
    return Item;
}

int TNotifyList::Remove(TProjObj* Item)
{
    const int i = IndexOf(Item);
    if (i >= 0)
        Delete(i);
    return i;
}

void TNotifyList::Move(int From, int To)
{
    if (From == To)
        return;
    Check(From, Count());
    Check(To, Count());
    FItems.move(From, To);
}

void TNotifyList::Exchange(int I, int J)
{
    Check(I, Count());
    Check(J, Count());
    FItems.swapItemsAt(I, J);
}

// ---- TProjObj ------------------------------------------------------------------------

// Sub-objects cannot be made here: the subclass's properties are not there
// yet. CreatePersistent and the subclass's own constructor make them.
TProjObj::TProjObj(QObject* AOwner) : QObject(AOwner) {}

TProjObj::~TProjObj()
{
    // Freed directly rather than through its list: leave no dangling item.
    if (auto* list = qobject_cast<TBaseObjList*>(parent()))
        list->List().Extract(this);
}

void TProjObj::SetOwner(QObject* AOwner)
{
    if (parent() != AOwner)
        setParent(AOwner);
}

void TProjObj::CreateSubObjects()
{
    const QMetaObject* mo = metaObject();
    for (int i = FirstOwnProperty(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (KindOf(p) != tkClass)
            continue;
        if (QObject* cur = ReadObject(this, p)) {
            if (qobject_cast<TProjObj*>(cur) || qobject_cast<TBaseObjList*>(cur))
                if (cur->parent() != this)
                    cur->setParent(this);
            continue;
        }
        const QMetaObject* declared = p.metaType().metaObject();
        if (IsPersistentClass(declared) && p.isWritable())
            WriteObject(this, p, CreatePersistent(declared, this));
    }
}

void TProjObj::Assign(const TProjObj* Source)
{
    if (!Source || Source == this)
        return;
    OnChange = Source->OnChange;
    const QMetaObject* mo = metaObject();
    const QMetaObject* smo = Source->metaObject();
    for (int i = FirstOwnProperty(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        const int si = FindProperty(smo, QLatin1String(p.name()));
        if (si < 0)
            continue;
        const QMetaProperty sp = smo->property(si);
        const TPropKind kind = KindOf(p);
        const TPropKind skind = KindOf(sp);
        if (kind == tkUnknown || skind == tkUnknown)
            continue;
        if (kind == tkClass || skind == tkClass) {
            if (kind != skind)
                continue;
            QObject* dst = ReadObject(this, p);
            QObject* src = ReadObject(Source, sp);
            auto* dObj = qobject_cast<TProjObj*>(dst);
            auto* sObj = qobject_cast<TProjObj*>(src);
            auto* dList = qobject_cast<TBaseObjList*>(dst);
            auto* sList = qobject_cast<TBaseObjList*>(src);
            if (dObj && sObj)
                dObj->Assign(sObj);
            else if (dList && sList)
                dList->Assign(sList);
            continue;
        }
        const bool numeric = (kind == tkInteger || kind == tkInt64 || kind == tkFloat)
            && (skind == tkInteger || skind == tkInt64 || skind == tkFloat)
            && !(p.metaType().flags() & QMetaType::IsEnumeration)
            && !(sp.metaType().flags() & QMetaType::IsEnumeration);
        if (numeric && !(kind != tkFloat && skind == tkFloat)) {
            // By value, so no digits are lost to the text form.
            QVariant v = sp.read(Source);
            v.convert(p.metaType());
            p.write(this, v);
        } else {
            // Enumerations by name, sets through their text form.
            SetPropText(QLatin1String(p.name()), PropText(Source, sp, skind), kind);
        }
    }
    Changed();
}

void TProjObj::SaveToXML(QDomElement Node) const
{
    QDomDocument doc = Node.ownerDocument();
    const QMetaObject* mo = metaObject();
    for (int i = FirstOwnProperty(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        const TPropKind kind = KindOf(p);
        if (kind == tkUnknown)
            continue;
        if (kind == tkClass) {
            QObject* sub = ReadObject(this, p);
            if (auto* obj = qobject_cast<TProjObj*>(sub)) {
                QDomElement e = doc.createElement(QLatin1String(p.name()));
                Node.appendChild(e);
                obj->SaveToXML(e);
            } else if (auto* list = qobject_cast<TBaseObjList*>(sub)) {
                QDomElement e = doc.createElement(QLatin1String(p.name()));
                Node.appendChild(e);
                list->SaveToXML(e);
            }
            continue;
        }
        QDomElement e = doc.createElement(QLatin1String(p.name()));
        Node.appendChild(e);
        const QString text = PropText(this, p, kind);
        if (!text.isEmpty())
            e.appendChild(doc.createTextNode(text));
    }
}

void TProjObj::LoadFromXML(const QDomElement& Node)
{
    CreateSubObjects();
    {
        LoadingGuard guard(Loading);
        const QMetaObject* mo = metaObject();
        for (QDomElement e = Node.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            const int i = FindProperty(mo, e.tagName());
            if (i < 0)
                continue;
            const QMetaProperty p = mo->property(i);
            const TPropKind kind = KindOf(p);
            if (kind == tkClass) {
                QObject* sub = ReadObject(this, p);
                if (auto* obj = qobject_cast<TProjObj*>(sub))
                    obj->LoadFromXML(e);
                else if (auto* list = qobject_cast<TBaseObjList*>(sub))
                    list->LoadFromXML(e);
            } else if (kind != tkUnknown) {
                SetPropText(QLatin1String(p.name()), e.text(), kind);
            }
        }
    }
    Modified = true;
}

QString TProjObj::GetPropText(const QString& Name) const
{
    const int i = FindProperty(metaObject(), Name);
    if (i < 0)
        return {};
    const QMetaProperty p = metaObject()->property(i);
    return PropText(this, p, KindOf(p));
}

void TProjObj::SetPropText(const QString& Name, const QString& Text, TPropKind Kind)
{
    const int i = FindProperty(metaObject(), Name);
    if (i < 0)
        return;
    const QMetaProperty p = metaObject()->property(i);
    switch (Kind) {
    case tkInteger:
    case tkInt64:
        p.write(this, IntegerFromText(p, Text));
        break;
    case tkEnumeration: {
        const QString t = Text.trimmed();
        if (p.metaType().id() == QMetaType::Bool) {
            if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
                p.write(this, true);
            else if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
                p.write(this, false);
            break;
        }
        const QMetaEnum me = p.enumerator();
        for (int k = 0; k < me.keyCount(); ++k)
            if (t.compare(QLatin1String(me.key(k)), Qt::CaseInsensitive) == 0) {
                p.write(this, FromRawInt(p.metaType(), me.value(k)));
                break;
            }
        break;  // an unknown name keeps the value
    }
    case tkSet: {
        qint64 value = 0;
        if (TextToSet(p.enumerator(), Text, value))
            p.write(this, FromRawInt(p.metaType(), value));
        break;
    }
    case tkFloat: {
        QVariant v(StrToFloatDefEx(Text, 0));
        v.convert(p.metaType());
        p.write(this, v);
        break;
    }
    case tkLString:
        p.write(this, Text.toLocal8Bit());
        break;
    case tkWString:
        p.write(this, Text);
        break;
    case tkClass:
    case tkUnknown:
        break;
    }
}

void TProjObj::Changed()
{
    if (Loading)
        return;
    Modified = true;
    if (OnChange)
        OnChange(this);
    NotifyOwnerChanged(parent());
}

int TProjObj::IndexInOwner() const
{
    if (auto* list = qobject_cast<TBaseObjList*>(parent()))
        return list->IndexOf(this);
    return -1;
}

void TProjObj::DeleteFromOwner()
{
    const int i = IndexInOwner();
    if (i >= 0)
        qobject_cast<TBaseObjList*>(parent())->Delete(i);
}

// ---- TBaseObjList ------------------------------------------------------------------------

TBaseObjList::TBaseObjList(QObject* AOwner) : QObject(AOwner)
{
    FList.OnNotify = [this](TProjObj* item, TListNotification action) { ItemNotify(item, action); };
}

TBaseObjList::~TBaseObjList()
{
    FList.Clear();
}

void TBaseObjList::SetOwner(QObject* AOwner)
{
    if (parent() != AOwner)
        setParent(AOwner);
}

void TBaseObjList::ItemNotify(TProjObj* Item, TListNotification Action)
{
    if (Action == lnDeleted)
        delete Item;
}

void TBaseObjList::Changed()
{
    if (Loading)
        return;
    Modified = true;
    NotifyOwnerChanged(parent());
}

int TBaseObjList::Add(TProjObj* Item)
{
    if (!Item)
        RaiseError(QStringLiteral("No item to add to the list"));
    const int i = FList.Add(Item);
    Item->SetOwner(this);
    Item->Changed();
    return i;
}

void TBaseObjList::Insert(int Index, TProjObj* Item)
{
    if (!Item)
        RaiseError(QStringLiteral("No item to add to the list"));
    FList.Insert(Index, Item);
    Item->SetOwner(this);
    Item->Changed();
}

void TBaseObjList::Clear()
{
    FList.Clear();
    Changed();
}

void TBaseObjList::Delete(int Index)
{
    FList.Delete(Index);
    Changed();
}

void TBaseObjList::Move(int From, int To)
{
    FList.Move(From, To);
    Changed();
}

void TBaseObjList::Exchange(int I, int J)
{
    FList.Exchange(I, J);
    Changed();
}

TProjObj* TBaseObjList::Extract(TProjObj* Item)
{
    TProjObj* item = FList.Extract(Item);
    if (item)
        item->setParent(nullptr);
    return item;
}

void TBaseObjList::Assign(const TBaseObjList* Source)
{
    if (!Source || Source == this)
        return;
    FList.Clear();
    for (int i = 0; i < Source->Count(); ++i) {
        const TProjObj* src = Source->Items(i);
        auto* item = qobject_cast<TProjObj*>(CreatePersistent(src->metaObject(), this));
        item->Assign(src);
        Add(item);
    }
}

void TBaseObjList::SaveToXML(QDomElement Node) const
{
    QDomDocument doc = Node.ownerDocument();
    for (int i = 0; i < Count(); ++i) {
        const TProjObj* item = FList.Items(i);
        QDomElement e = doc.createElement(QLatin1String(item->metaObject()->className()));
        Node.appendChild(e);
        item->SaveToXML(e);
    }
}

void TBaseObjList::LoadFromXML(const QDomElement& Node)
{
    {
        LoadingGuard guard(Loading);
        FList.Clear();
        for (QDomElement e = Node.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            const QMetaObject* mo = FindPersistentClass(e.tagName());
            if (!mo)
                RaiseError(QStringLiteral("Class %1 not found").arg(e.tagName()));
            QObject* o = CreatePersistent(mo, this);
            auto* item = qobject_cast<TProjObj*>(o);
            if (!item) {
                delete o;
                RaiseError(QStringLiteral("Class %1 cannot be a list item").arg(e.tagName()));
            }
            FList.Add(item);  // owned from here on, even when its load fails
            item->LoadFromXML(e);
            item->Changed();
        }
    }
    Modified = true;
}

// ---- TBaseConfig ---------------------------------------------------------------------------

namespace {

void Escape(QString& out, const QString& text, bool attribute)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        case '"': out += attribute ? QLatin1String("&quot;") : QLatin1String("\""); break;
        case '\n': out += attribute ? QLatin1String("&#10;") : QLatin1String("\n"); break;
        case '\t': out += attribute ? QLatin1String("&#9;") : QLatin1String("\t"); break;
        default: out += c; break;
        }
    }
}

void WriteText(QString& out, const QString& text)
{
    // Text of blanks only would be dropped by the reader; a CDATA section keeps it.
    if (!text.isEmpty() && text.trimmed().isEmpty())
        out += QLatin1String("<![CDATA[") + text + QLatin1String("]]>");
    else
        Escape(out, text, false);
}

void WriteNode(QString& out, const QDomNode& node, int level);

void WriteElement(QString& out, const QDomElement& e, int level)
{
    const QString indent(level * 2, QLatin1Char(' '));
    out += indent + QLatin1Char('<') + e.tagName();
    // The DOM keeps attributes in no fixed order; sorted, the file is the
    // same from run to run.
    const QDomNamedNodeMap attrs = e.attributes();
    QList<QDomAttr> sorted;
    for (int i = 0; i < attrs.count(); ++i)
        sorted << attrs.item(i).toAttr();
    std::sort(sorted.begin(), sorted.end(),
              [](const QDomAttr& a, const QDomAttr& b) { return a.name() < b.name(); });
    for (const QDomAttr& a : sorted) {
        out += QLatin1Char(' ') + a.name() + QLatin1String("=\"");
        Escape(out, a.value(), true);
        out += QLatin1Char('"');
    }
    const QDomNodeList children = e.childNodes();
    if (children.isEmpty()) {
        out += QLatin1String("/>\n");
        return;
    }
    bool textOnly = true;
    for (int i = 0; i < children.count() && textOnly; ++i)
        textOnly = children.at(i).isText();  // CDATA sections are text nodes too
    if (textOnly) {
        out += QLatin1Char('>');
        for (int i = 0; i < children.count(); ++i)
            WriteText(out, children.at(i).toText().data());
        out += QLatin1String("</") + e.tagName() + QLatin1String(">\n");
        return;
    }
    out += QLatin1String(">\n");
    for (int i = 0; i < children.count(); ++i)
        WriteNode(out, children.at(i), level + 1);
    out += indent + QLatin1String("</") + e.tagName() + QLatin1String(">\n");
}

void WriteNode(QString& out, const QDomNode& node, int level)
{
    const QString indent(level * 2, QLatin1Char(' '));
    if (node.isElement()) {
        WriteElement(out, node.toElement(), level);
    } else if (node.isText()) {
        out += indent;
        WriteText(out, node.toText().data());
        out += QLatin1Char('\n');
    } else if (node.isProcessingInstruction()) {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        out += indent + QLatin1String("<?") + pi.target() + QLatin1Char(' ') + pi.data() + QLatin1String("?>\n");
    } else if (node.isComment()) {
        out += indent + QLatin1String("<!--") + node.toComment().data() + QLatin1String("-->\n");
    }
}

constexpr qint64 MaxConfigFileSize = 64 * 1024 * 1024;

}  // namespace

TBaseConfig::TBaseConfig(QObject* AOwner) : TProjObj(AOwner), ProjectName(QStringLiteral("ProjName"))
{
    const QString folder = QCoreApplication::instance()
        ? IncludeTrailingSlash(QCoreApplication::applicationDirPath()) : QString();
    FileName = folder + QStringLiteral("ConfigSet.xml");
}

void TBaseConfig::LoadConfig()
{
    if (FLoaded || FileName.isEmpty() || !QFileInfo(FileName).isFile())
        return;
    try {
        QFile f(FileName);
        if (f.size() > MaxConfigFileSize)
            RaiseError(QStringLiteral("file too large"));
        if (!f.open(QIODevice::ReadOnly))
            RaiseError(f.errorString());
        QDomDocument doc;
        QString err;
        int line = 0, column = 0;
        if (!doc.setContent(f.readAll(), &err, &line, &column))
            RaiseError(QStringLiteral("%1 at line %2, column %3").arg(err).arg(line).arg(column));
        LoadFromXML(doc.documentElement());
        FLoaded = true;
    } catch (const EZelError& e) {
        // Silent for the user: the defaults stay in force. The log keeps why.
        MsgOut(QStringLiteral("Settings file \"%1\" not loaded: %2").arg(FileName, e.Message));
        return;
    } catch (const std::exception& e) {
        MsgOut(QStringLiteral("Settings file \"%1\" not loaded: %2").arg(FileName, QString::fromLocal8Bit(e.what())));
        return;
    }
    AfterLoad();
}

QDomDocument TBaseConfig::MakeXMLDocument() const
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-16\"")));
    QDomElement root = doc.createElement(QStringLiteral("Config"));
    doc.appendChild(root);
    root.setAttribute(QStringLiteral("project"), ProjectName);
    root.setAttribute(QStringLiteral("version"), GetProVersion(true));
    SaveToXML(root);
    return doc;
}

bool TBaseConfig::SaveConfig(bool Silent)
{
    return WriteXMLFile(MakeXMLDocument(), FileName, Silent);
}

QByteArray TBaseConfig::WriteXMLDocument(const QDomDocument& Doc)
{
    QString text;
    for (QDomNode n = Doc.firstChild(); !n.isNull(); n = n.nextSibling())
        WriteNode(text, n, 0);
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

bool TBaseConfig::IsLoadableXML(const QByteArray& Data)
{
    if (Data.isEmpty())
        return false;
    QDomDocument doc;
    return doc.setContent(Data);
}

bool TBaseConfig::WriteXMLFile(const QDomDocument& Doc, const QString& Path, bool Silent)
{
    const QByteArray data = WriteXMLDocument(Doc);
    if (!IsLoadableXML(data)) {
        if (!Silent)
            RaiseError(QStringLiteral("error occurs when save xml file."));
        return false;
    }
    WriteFileAtomic(Path, data);
    return true;
}
