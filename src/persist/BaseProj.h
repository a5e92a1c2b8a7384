#pragma once
// Objects that store themselves as XML by walking their Q_PROPERTYs.
//
// A persistent class derives from TProjObj (or TBaseObjList for a list),
// carries Q_OBJECT, declares a Q_INVOKABLE constructor taking the owner
// (QObject*), and publishes its state as Q_PROPERTYs, preferably in the
// MEMBER form over public fields so users read and write the fields directly:
//
//     class TSample : public TProjObj {
//         Q_OBJECT
//         Q_PROPERTY(int GifFPS MEMBER GifFPS)
//         Q_PROPERTY(TFontDesc* Font MEMBER Font)     // a TProjObj subclass
//     public:
//         Q_INVOKABLE explicit TSample(QObject* AOwner = nullptr) : TProjObj(AOwner) { CreateSubObjects(); }
//         int GifFPS = 8;
//         TFontDesc* Font = nullptr;                   // created by CreateSubObjects
//     };
//     REGISTER_PERSISTENT_CLASS(TSample)              // in the .cpp, when it can be a list item
//
// Nothing else is needed for it to be saved, loaded, copied and owned.
// Properties are walked in declaration order, ancestors first; QObject's own
// objectName is not one of them.
//
// XML layout of an object: one child element per property, named like it,
// holding the value's text (see TPropKind); a sub-object's element holds the
// sub-object's own elements; a list's element holds one element per item,
// named by the item's class. No attributes.
//
// Ownership: the owner of a sub-object or a list item is its QObject parent,
// so an object frees its sub-objects and a list its items. Objects of other
// classes held in properties are left to their class.

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <functional>

class TProjObj;
class TBaseObjList;

// The kinds of property the framework stores.
enum TPropKind {
    tkUnknown,      // neither written nor read
    tkInteger,      // decimal; 0 when not a number (also colours)
    tkEnumeration,  // the value's name ("ssHalf"; booleans "True"/"False"); unknown names keep the value
    tkFloat,        // shortest form, 15 significant digits, system decimal separator
    tkLString,      // 8-bit text (QByteArray)
    tkWString,      // text (QString)
    tkSet,          // names joined by ",", e.g. "fsBold,fsItalic"; unknown names keep the value
    tkInt64,        // decimal; 0 when not a number
    tkClass,        // pointer to a QObject subclass; stored when it is a TProjObj or TBaseObjList
};

using TNotifyEvent = std::function<void(QObject* Sender)>;

// ---- class registry --------------------------------------------------------
// Lists create their items from the element name through this registry.
void RegisterPersistentClass(const QMetaObject* Class);
const QMetaObject* FindPersistentClass(const QString& Name);   // nullptr when unknown
// Creates an object of Class through its Q_INVOKABLE constructor (QObject*
// AOwner) and makes sure its sub-objects exist. Raises EZelError when the
// class cannot be created that way.
QObject* CreatePersistent(const QMetaObject* Class, QObject* AOwner);

// Registers a class at start-up. Put it in the class's own .cpp file; that
// file must also hold something the program uses (its constructor does), or
// the linker drops it from the static library and the registration with it.
#define REGISTER_PERSISTENT_CLASS(T) \
    static const bool zelRegistered_##T = (RegisterPersistentClass(&T::staticMetaObject), true);

// ---- the owning pointer list ---------------------------------------------------
enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// A plain list of item pointers that reports every addition, extraction and
// deletion to a callback after the list has changed. It frees nothing itself;
// TBaseObjList's callback frees deleted items.
class TNotifyList {
public:
    using TNotifyProc = std::function<void(TProjObj* Item, TListNotification Action)>;
    TNotifyList() = default;
    ~TNotifyList();                       // Clear
    TNotifyList(const TNotifyList&) = delete;
    TNotifyList& operator=(const TNotifyList&) = delete;

    TNotifyProc OnNotify;

    int Count() const { return static_cast<int>(FItems.size()); }
    TProjObj* Items(int Index) const;     // raises on a bad index
    int IndexOf(const TProjObj* Item) const;
    int Add(TProjObj* Item);
    void Insert(int Index, TProjObj* Item);
    void Delete(int Index);               // lnDeleted
    void Clear();                         // deletes every item, last first
    TProjObj* Extract(TProjObj* Item);    // lnExtracted; nullptr when absent
    int Remove(TProjObj* Item);           // Delete by item; answers its former index or -1
    void Move(int From, int To);
    void Exchange(int I, int J);

private:
    void Check(int Index, int Limit) const;
    void Notify(TProjObj* Item, TListNotification Action);
    QList<TProjObj*> FItems;
};

// ---- persistent object -----------------------------------------------------------
class TProjObj : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TProjObj(QObject* AOwner = nullptr);
    ~TProjObj() override;

    bool Modified = false;   // set by Changed and after LoadFromXML
    bool Loading = false;    // Changed does nothing while set
    TNotifyEvent OnChange;   // called by Changed with this object

    // The persistent object or list that owns this one (its QObject parent).
    QObject* Owner() const { return parent(); }
    void SetOwner(QObject* AOwner);

    // Copies OnChange, then every property by name (sub-objects and lists
    // assign theirs), then calls Changed.
    virtual void Assign(const TProjObj* Source);
    virtual void SaveToXML(QDomElement Node) const;
    virtual void LoadFromXML(const QDomElement& Node);
    // Sets one property from its stored text.
    virtual void SetPropText(const QString& Name, const QString& Text, TPropKind Kind);
    // The stored text of one simple property (empty for unknown names).
    QString GetPropText(const QString& Name) const;
    virtual void Changed();
    // Deletes (and so frees) this object from its owning list; nothing when
    // it is in none. Do not touch the object afterwards.
    virtual void DeleteFromOwner();
    int IndexInOwner() const;            // -1 when not in a list

    // Gives every TProjObj/TBaseObjList property an object: an existing one
    // gets this object as owner, an empty one a new object of the declared
    // class. A class declaring such properties calls it at the end of its
    // constructor (objects made by CreatePersistent get it anyway); calling
    // it again does nothing new.
    void CreateSubObjects();
};

// ---- persistent list ---------------------------------------------------------------
class TBaseObjList : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TBaseObjList(QObject* AOwner = nullptr);
    ~TBaseObjList() override;            // frees every item

    bool Modified = false;
    bool Loading = false;

    QObject* Owner() const { return parent(); }
    void SetOwner(QObject* AOwner);

    int Count() const { return FList.Count(); }
    TProjObj* Items(int Index) const { return FList.Items(Index); }
    template <class T>
    T* ItemAs(int Index) const { return qobject_cast<T*>(FList.Items(Index)); }
    int IndexOf(const TProjObj* Item) const { return FList.IndexOf(Item); }
    TNotifyList& List() { return FList; }

    // Frees its items, then adds a copy of each source item (same class).
    virtual void Assign(const TBaseObjList* Source);
    virtual void SaveToXML(QDomElement Node) const;
    // Replaces the items by those of the element; an element naming an
    // unregistered class raises EZelError (items read before it stay).
    virtual void LoadFromXML(const QDomElement& Node);
    virtual void Changed();

    // The list takes ownership of added items.
    virtual int Add(TProjObj* Item);
    virtual void Insert(int Index, TProjObj* Item);
    virtual void Clear();                 // frees every item
    virtual void Delete(int Index);       // frees the item
    virtual void Move(int From, int To);
    virtual void Exchange(int I, int J);
    // Takes the item out without freeing it; the caller owns it then.
    TProjObj* Extract(TProjObj* Item);

protected:
    virtual void ItemNotify(TProjObj* Item, TListNotification Action);

private:
    TNotifyList FList;
};

// ---- file-backed root ------------------------------------------------------------------
// The file: <?xml version="1.0" encoding="UTF-16"?>, root "Config" with the
// attributes project (ProjectName) and version (GetProVersion(true)), the
// object's elements inside; UTF-16 little-endian with a byte-order mark.
// Layout (WriteXMLDocument): two spaces of indent per level, "\n" after
// every line including the last, an element without content as <Name/>, an
// element holding only text on one line, attributes sorted by name.
class TBaseConfig : public TProjObj {
    Q_OBJECT
public:
    // No owner: ProjectName "ProjName", FileName the program folder + "ConfigSet.xml".
    Q_INVOKABLE explicit TBaseConfig(QObject* AOwner = nullptr);

    QString ProjectName;
    QString FileName;

    bool Loaded() const { return FLoaded; }
    // Reads FileName once. A missing, unreadable or damaged file is silent:
    // values read before the damage stay, the rest keep their defaults, and
    // AfterLoad runs only after a complete load.
    void LoadConfig();
    // Writes FileName atomically (old or new file, never a broken one).
    // Answers false without touching the file when the document would not
    // parse back (and raises "error occurs when save xml file." unless
    // Silent). A failure while writing the file (missing folder, no
    // permission, full disk) raises EZelError even when Silent: callers catch
    // it, log it and go on.
    bool SaveConfig(bool Silent);

    // The document SaveConfig writes.
    QDomDocument MakeXMLDocument() const;

    // Serialises, checks that the result parses back, then writes it
    // atomically. Same answers and errors as SaveConfig.
    static bool WriteXMLFile(const QDomDocument& Doc, const QString& Path, bool Silent);
    // The bytes WriteXMLFile writes (UTF-16LE with BOM, layout above).
    static QByteArray WriteXMLDocument(const QDomDocument& Doc);
    // Not empty and parses as XML (encoding taken from the content).
    static bool IsLoadableXML(const QByteArray& Data);

protected:
    virtual void AfterLoad() {}

private:
    bool FLoaded = false;
};
