#pragma once
// What every stored model shares: the row's place in the store (its store key
// and the record name the cloud mirror knows it by) and the description of its
// attributes, from which the store derives its table, reads and writes rows
// and tells which attributes a pending change touched.
//
// A model describes itself by specialising ModelTraits next to it:
//
//   template <> struct ModelTraits<SyncedTimer> {
//       static constexpr std::string_view entityName = "SyncedTimer";
//       static constexpr auto attributes = std::make_tuple(
//           attribute("uuid", &SyncedTimer::uuid), ...);
//   };

#include "VudeKit/Date.h"
#include "VudeKit/Uuid.h"
#include "VudeSync/SqliteDatabase.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

class ModelContext;

/// The earliest date (0001-01-01 00:00:00 UTC), the default of every
/// non-optional date: earlier than any date the system produces.
inline constexpr Date kDistantPast = kReferenceDate - Duration(63'113'904'000'000'000);

/// The base of every stored row. A row made by its constructor belongs to no
/// context until it is inserted; it gets its store key when a save writes it.
/// Rows are shared (`std::shared_ptr`) and compared by identity: two distinct
/// rows are never the same row, whatever their attributes hold.
class PersistentModel {
public:
    /// Marks the constructor the store uses for a row it read: the values come
    /// from the store, so no defaults (random identifiers) are drawn.
    struct FromStore {};

    PersistentModel() = default;
    explicit PersistentModel(FromStore) : m_recordName() {}
    PersistentModel(const PersistentModel&) = delete;
    PersistentModel& operator=(const PersistentModel&) = delete;
    virtual ~PersistentModel() = default;

    /// The stored record's key; none while the row is not saved.
    std::optional<std::int64_t> storeKey() const { return m_storeKey; }
    /// The name of the row's record for the cloud mirror, unique in the store.
    /// Drawn when the row is made; the mirror sets it before inserting a row
    /// that arrived from elsewhere.
    const std::string& recordName() const { return m_recordName; }
    void setRecordName(std::string name) { m_recordName = std::move(name); }
    /// A new record name: a time-ordered identifier (the creation time in
    /// milliseconds first, then random bits), so names sort in the order rows
    /// were made, on every device alike, and never repeat.
    static std::string newRecordName();

    /// The context the row was inserted into or fetched by; none otherwise.
    ModelContext* modelContext() const { return m_context; }

private:
    friend class ModelContext;
    std::optional<std::int64_t> m_storeKey;
    std::string m_recordName = newRecordName();
    ModelContext* m_context = nullptr;
};

template <typename Model>
struct ModelTraits;

template <typename Model>
concept StoredModel = std::is_base_of_v<PersistentModel, Model> && requires {
    ModelTraits<Model>::entityName;
    ModelTraits<Model>::attributes;
};

/// One stored attribute: its column name and the member that holds it.
template <typename Model, typename Value>
struct Attribute {
    using value_type = Value;
    std::string_view name;
    Value Model::*member;
};

template <typename Model, typename Value>
constexpr Attribute<Model, Value> attribute(std::string_view name, Value Model::*member)
{
    return {name, member};
}

/// Attribute equality for change tracking: NaN equals NaN, so a NaN attribute
/// does not count as changed on every save.
template <typename Value>
bool sameAttributeValue(const Value& a, const Value& b)
{
    if constexpr (std::is_floating_point_v<Value>)
        return a == b || (std::isnan(a) && std::isnan(b));
    else
        return a == b;
}

/// How each attribute type is stored. Dates are whole microseconds since
/// 2001-01-01 UTC, which keeps every date exact, the distant past included;
/// identifiers are their 16 bytes; Booleans 0 or 1.
///
/// `matches` tells whether a column holds a value without building it, so
/// re-reading an unchanged table allocates nothing.
template <typename Value>
struct ColumnCodec;

/// `matches` for types that are cheap to read (no allocation).
template <typename Value>
struct MatchesByReading {
    static bool matches(const SqliteStatement& statement, int column, const Value& value)
    {
        return sameAttributeValue(ColumnCodec<Value>::read(statement, column), value);
    }
};

template <>
struct ColumnCodec<Uuid> {
    static constexpr std::string_view sqlType = "BLOB";
    /// A fresh random identifier for each row.
    static std::string sqlDefault(const Uuid& value);
    static void bind(SqliteStatement& statement, int index, const Uuid& value);
    /// The identifier's text form is read too; anything else reads as the nil
    /// identifier.
    static Uuid read(const SqliteStatement& statement, int column);
    static bool matches(const SqliteStatement& statement, int column, const Uuid& value);
};

template <>
struct ColumnCodec<std::string> {
    static constexpr std::string_view sqlType = "TEXT";
    static std::string sqlDefault(const std::string& value);
    static void bind(SqliteStatement& statement, int index, const std::string& value);
    static std::string read(const SqliteStatement& statement, int column);
    static bool matches(const SqliteStatement& statement, int column, const std::string& value)
    {
        return statement.textColumnView(column) == value;
    }
};

template <>
struct ColumnCodec<bool> : MatchesByReading<bool> {
    static constexpr std::string_view sqlType = "INTEGER";
    static std::string sqlDefault(bool value);
    static void bind(SqliteStatement& statement, int index, bool value);
    static bool read(const SqliteStatement& statement, int column);
};

template <>
struct ColumnCodec<std::int64_t> : MatchesByReading<std::int64_t> {
    static constexpr std::string_view sqlType = "INTEGER";
    static std::string sqlDefault(std::int64_t value);
    static void bind(SqliteStatement& statement, int index, std::int64_t value);
    static std::int64_t read(const SqliteStatement& statement, int column);
};

template <>
struct ColumnCodec<double> : MatchesByReading<double> {
    static constexpr std::string_view sqlType = "REAL";
    /// SQLite would store NaN as NULL, which no non-optional column accepts:
    /// NaN is stored as 0 instead, so one bad value cannot block every save.
    static std::string sqlDefault(double value);
    static void bind(SqliteStatement& statement, int index, double value);
    static double read(const SqliteStatement& statement, int column);
};

template <>
struct ColumnCodec<Date> : MatchesByReading<Date> {
    static constexpr std::string_view sqlType = "INTEGER";
    static std::string sqlDefault(Date value);
    static void bind(SqliteStatement& statement, int index, Date value);
    /// NULL (a row written by something else) reads as the distant past.
    static Date read(const SqliteStatement& statement, int column);
};

/// Optional attributes store none as NULL.
template <typename Value>
struct ColumnCodec<std::optional<Value>> {
    static constexpr std::string_view sqlType = ColumnCodec<Value>::sqlType;
    static void bind(SqliteStatement& statement, int index, const std::optional<Value>& value);
    static std::optional<Value> read(const SqliteStatement& statement, int column);
    static bool matches(const SqliteStatement& statement, int column, const std::optional<Value>& value)
    {
        if (statement.isNull(column))
            return !value;
        return value && ColumnCodec<Value>::matches(statement, column, *value);
    }
};

template <typename Value>
void ColumnCodec<std::optional<Value>>::bind(SqliteStatement& statement, int index, const std::optional<Value>& value)
{
    if (value)
        ColumnCodec<Value>::bind(statement, index, *value);
    else
        statement.bindNull(index);
}

template <typename Value>
std::optional<Value> ColumnCodec<std::optional<Value>>::read(const SqliteStatement& statement, int column)
{
    if (statement.isNull(column))
        return std::nullopt;
    return ColumnCodec<Value>::read(statement, column);
}

template <typename Attributes>
struct AttributeValueTuple;
template <typename... Attributes>
struct AttributeValueTuple<std::tuple<Attributes...>> {
    using type = std::tuple<typename Attributes::value_type...>;
};

/// The stored values of a model's attributes, in declaration order.
template <StoredModel Model>
using AttributeValues = typename AttributeValueTuple<std::decay_t<decltype(ModelTraits<Model>::attributes)>>::type;

template <StoredModel Model>
constexpr std::size_t attributeCount = std::tuple_size_v<std::decay_t<decltype(ModelTraits<Model>::attributes)>>;

/// Calls `visit(index, attribute)` for each attribute in declaration order.
template <StoredModel Model, typename Visitor>
constexpr void forEachAttribute(Visitor&& visit)
{
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (visit(std::integral_constant<std::size_t, I>{}, std::get<I>(ModelTraits<Model>::attributes)), ...);
    }(std::make_index_sequence<attributeCount<Model>>{});
}

template <StoredModel Model>
AttributeValues<Model> attributeValues(const Model& row)
{
    AttributeValues<Model> values;
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        std::get<decltype(index)::value>(values) = row.*(attribute.member);
    });
    return values;
}

template <StoredModel Model>
void assignAttributeValues(Model& row, const AttributeValues<Model>& values)
{
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        row.*(attribute.member) = std::get<decltype(index)::value>(values);
    });
}
