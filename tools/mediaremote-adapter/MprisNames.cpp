#include "MprisNames.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace Mpris {

QVariant plain(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return plain(value.value<QDBusVariant>().variant());
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return value;
    // Only the shapes players use; reading another as these would misread it.
    const auto argument = value.value<QDBusArgument>();
    const QString signature = argument.currentSignature();
    if (signature == QLatin1String("a{sv}"))
        return qdbus_cast<QVariantMap>(argument);
    if (signature == QLatin1String("as"))
        return qdbus_cast<QStringList>(argument);
    return {};
}

} // namespace Mpris
