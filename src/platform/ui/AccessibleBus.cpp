// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AccessibleBus.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QPointer>
#include <QtDebug>

namespace qv {
namespace {

// Qt's bridge connects to the accessibility bus under this name and serves
// every accessible object below this path.
const QString BridgeConnection = QStringLiteral("a11y");
const QString BridgePath = QStringLiteral("/org/a11y/atspi/accessible");
const QString Atspi = QStringLiteral("org.a11y.atspi.");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");

// How many arguments the bridge's handlers read, by interface and method. A
// property read or written through Properties reaches them as "Get" or "Set"
// and the property's name, with the arguments of the Properties call.
struct Reads {
    const char* interface;
    const char* member;
    int count;
};
constexpr Reads HandlerReads[] = {
    {"Accessible", "GetChildAtIndex", 1},
    {"Action", "DoAction", 1},
    {"Action", "GetDescription", 1},
    {"Action", "GetKeyBinding", 1},
    {"Action", "GetName", 1},
    {"Application", "SetId", 3},
    {"Component", "Contains", 3},
    {"Component", "GetAccessibleAtPoint", 3},
    {"Component", "GetExtents", 1},
    {"Component", "GetPosition", 1},
    {"Component", "SetExtents", 5},
    {"Component", "SetPosition", 3},
    {"Component", "SetSize", 2},
    {"EditableText", "CopyText", 2},
    {"EditableText", "CutText", 2},
    {"EditableText", "DeleteText", 2},
    {"EditableText", "InsertText", 3},
    {"EditableText", "PasteText", 1},
    {"EditableText", "SetTextContents", 1},
    {"Table", "AddColumnSelection", 1},
    {"Table", "AddRowSelection", 1},
    {"Table", "GetAccessibleAt", 2},
    {"Table", "GetColumnAtIndex", 1},
    {"Table", "GetColumnDescription", 1},
    {"Table", "GetColumnExtentAt", 2},
    {"Table", "GetColumnHeader", 1},
    {"Table", "GetIndexAt", 2},
    {"Table", "GetRowAtIndex", 1},
    {"Table", "GetRowColumnExtentsAtIndex", 1},
    {"Table", "GetRowDescription", 1},
    {"Table", "GetRowExtentAt", 2},
    {"Table", "GetRowHeader", 1},
    {"Table", "IsColumnSelected", 1},
    {"Table", "IsRowSelected", 1},
    {"Table", "IsSelected", 2},
    {"Table", "RemoveColumnSelection", 1},
    {"Table", "RemoveRowSelection", 1},
    {"Text", "AddSelection", 2},
    {"Text", "GetAttributeRun", 2},
    {"Text", "GetAttributeValue", 2},
    {"Text", "GetAttributes", 1},
    {"Text", "GetBoundedRanges", 7},
    {"Text", "GetCharacterAtOffset", 1},
    {"Text", "GetCharacterExtents", 2},
    {"Text", "GetOffsetAtPoint", 3},
    {"Text", "GetRangeExtents", 3},
    {"Text", "GetSelection", 1},
    {"Text", "GetText", 2},
    {"Text", "GetTextAfterOffset", 2},
    {"Text", "GetTextAtOffset", 2},
    {"Text", "GetTextBeforeOffset", 2},
    {"Text", "RemoveSelection", 1},
    {"Text", "SetCaretOffset", 1},
    {"Text", "SetSelection", 3},
    {"Value", "SetCurrentValue", 3},
};

int ReadsOf(const QString& interface, const QString& member) {
    if (!interface.startsWith(Atspi))
        return 0;
    const QStringView name = QStringView(interface).mid(Atspi.size());
    for (const Reads& r : HandlerReads)
        if (name == QLatin1String(r.interface) && member == QLatin1String(r.member))
            return r.count;
    return 0;
}

// The object a path names, found as the bridge finds it.
QAccessibleInterface* ObjectAt(const QString& path) {
    if (path == BridgePath + QStringLiteral("/root"))
        return QAccessible::queryAccessibleInterface(qApp);
    if (!path.startsWith(BridgePath + u'/'))
        return nullptr;
    bool number = false;
    const QAccessible::Id id = path.mid(BridgePath.size() + 1).toUInt(&number);
    QAccessibleInterface* object = number ? QAccessible::accessibleInterface(id) : nullptr;
    return object && object->isValid() ? object : nullptr;
}

// The bridge follows a cell of these calls without checking that one came.
QString CellRefusal(QAccessibleTableInterface* table, const QString& member,
                    const QList<QVariant>& args) {
    int row = args.value(0).toInt();
    int column = args.value(1).toInt();
    if (member == QLatin1String("GetRowColumnExtentsAtIndex")) {
        const int columns = table->columnCount();
        if (columns <= 0)
            return QStringLiteral("The table has no cells");
        column = row % columns;
        row = row / columns;
    } else if (member == QLatin1String("GetRowAtIndex") ||
               member == QLatin1String("GetColumnAtIndex")) {
        return table->columnCount() > 0 ? QString() : QStringLiteral("The table has no columns");
    } else if (member != QLatin1String("GetColumnExtentAt") &&
               member != QLatin1String("GetRowExtentAt") && member != QLatin1String("IsSelected")) {
        return {};
    }
    QAccessibleInterface* cell =
        row >= 0 && column >= 0 && row < table->rowCount() && column < table->columnCount()
            ? table->cellAt(row, column)
            : nullptr;
    if (cell && cell->tableCellInterface())
        return {};
    return QStringLiteral("The table has no cell at row %1, column %2").arg(row).arg(column);
}

// Why the bridge must not see `call`; empty when it may.
QString Refusal(const QDBusMessage& call, bool& unsupported) {
    QString interface = call.interface();
    QString member = call.member();
    const QList<QVariant> args = call.arguments();
    if (interface == Properties) {
        if (member == QLatin1String("GetAll")) {
            unsupported = true;
            return QStringLiteral("GetAll is not supported; read each property with Get");
        }
        const int count = member == QLatin1String("Get")   ? 2
                          : member == QLatin1String("Set") ? 3
                                                           : 0;
        if (count == 0) {
            unsupported = true;
            return QStringLiteral("%1.%2 is not supported").arg(interface, member);
        }
        if (args.size() < count)
            return QStringLiteral("%1.%2 needs %3 arguments").arg(interface, member).arg(count);
        interface = args[0].toString();
        member += args[1].toString();
    }
    const int reads = ReadsOf(interface, member);
    if (args.size() < reads)
        return QStringLiteral("%1.%2 needs %3 arguments").arg(interface, member).arg(reads);

    QAccessibleInterface* object = ObjectAt(call.path());
    if (!object)
        return {};
    if (interface == Atspi + QStringLiteral("Table")) {
        QAccessibleTableInterface* table = object->tableInterface();
        if (!table)
            return QStringLiteral("The object is not a table");
        return CellRefusal(table, member, args);
    }
    if (interface == Atspi + QStringLiteral("EditableText")) {
        if (!object->editableTextInterface())
            return QStringLiteral("The object's text cannot be edited");
        // The bridge makes the text that long before it inserts it.
        if (member == QLatin1String("InsertText") &&
            (args[2].toInt() < 0 || args[2].toInt() > args[1].toString().size()))
            return QStringLiteral("InsertText's length is not the length of its text");
    }
    return {};
}

// Stands where the bridge stood on the bus and passes it every call it can
// take.
class BridgeGuard final : public QDBusVirtualObject {
public:
    BridgeGuard(QDBusVirtualObject* bridge, QObject* parent)
        : QDBusVirtualObject(parent)
        , m_bridge(bridge) {}

    QString introspect(const QString& path) const override {
        return m_bridge ? m_bridge->introspect(path) : QString();
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (!m_bridge)
            return false;
        bool unsupported = false;
        const QString refusal = Refusal(message, unsupported);
        if (refusal.isEmpty())
            return m_bridge->handleMessage(message, connection);
        connection.send(message.createErrorReply(
            unsupported ? QDBusError::NotSupported : QDBusError::InvalidArgs, refusal));
        return true;
    }

private:
    QPointer<QDBusVirtualObject> m_bridge;
};

// The bridge registers on the bus as it reports itself active, after the
// accessibility bus has answered; the guard goes in at the next turn of the
// event loop.
class GuardInstaller final : public QObject, public QAccessible::ActivationObserver {
public:
    explicit GuardInstaller(QObject* parent)
        : QObject(parent) {
        QAccessible::installActivationObserver(this);
        installLater();
    }
    ~GuardInstaller() override { QAccessible::removeActivationObserver(this); }

    void accessibilityActiveChanged(bool active) override {
        if (active)
            installLater();
    }

private:
    void installLater() {
        QMetaObject::invokeMethod(this, &GuardInstaller::install, Qt::QueuedConnection);
    }

    void install() {
        QDBusConnection bus(BridgeConnection);
        if (!bus.isConnected())
            return;
        QObject* served = bus.objectRegisteredAt(BridgePath);
        auto* bridge = qobject_cast<QDBusVirtualObject*>(served);
        if (!bridge || dynamic_cast<BridgeGuard*>(bridge))
            return;
        auto* guard = new BridgeGuard(bridge, this);
        bus.unregisterObject(BridgePath);
        if (!bus.registerVirtualObject(BridgePath, guard, QDBusConnection::SubPath)) {
            qWarning("The accessibility bridge could not be guarded");
            bus.registerVirtualObject(BridgePath, bridge, QDBusConnection::SubPath);
            delete guard;
        }
    }
};

} // namespace

void GuardAccessibleBus() {
    static QPointer<GuardInstaller> installer;
    if (!installer && qApp)
        installer = new GuardInstaller(qApp);
}

} // namespace qv
