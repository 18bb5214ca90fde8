#include "VudeSync/PersistentModel.h"

#include "VudeKit/Numbers.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <mutex>

namespace {

// Offsets from the reference date, saturated so that a damaged value cannot
// overflow the microsecond clock. The reference date is after the epoch, so
// only stored offsets above kMaxOffset overflow, and only dates below
// kMinDate have no offset.
constexpr std::int64_t kReferenceOffset = kReferenceDate.time_since_epoch().count();
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int64_t>::max() - kReferenceOffset;
constexpr std::int64_t kMinDate = std::numeric_limits<std::int64_t>::min() + kReferenceOffset;

std::int64_t offsetFromReferenceDate(Date value)
{
    const std::int64_t sinceEpoch = value.time_since_epoch().count();
    if (sinceEpoch < kMinDate)
        return std::numeric_limits<std::int64_t>::min();
    return sinceEpoch - kReferenceOffset;
}

} // namespace

std::string PersistentModel::newRecordName()
{
    // A version 7 identifier: 48 bits of Unix milliseconds, then 12 bits that
    // count names made within one millisecond, so names made one after the
    // other always sort in that order, then random bits.
    static std::mutex mutex;
    static std::int64_t lastMilliseconds = 0;
    static std::uint16_t sequence = 0;
    std::int64_t milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
    {
        const std::lock_guard lock(mutex);
        if (milliseconds <= lastMilliseconds) {
            milliseconds = lastMilliseconds;
            if (++sequence > 0x0FFF) {
                ++milliseconds;
                sequence = 0;
            }
        } else {
            sequence = 0;
        }
        lastMilliseconds = milliseconds;
    }
    auto bytes = Uuid::random().bytes();
    for (int i = 0; i < 6; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(milliseconds >> (8 * (5 - i)));
    bytes[6] = static_cast<std::uint8_t>(0x70 | (sequence >> 8));
    bytes[7] = static_cast<std::uint8_t>(sequence & 0xFF);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Uuid(bytes).toString();
}

std::string ColumnCodec<Uuid>::sqlDefault(const Uuid&)
{
    return "(randomblob(16))";
}

void ColumnCodec<Uuid>::bind(SqliteStatement& statement, int index, const Uuid& value)
{
    statement.bindBlob(index, value.bytes());
}

Uuid ColumnCodec<Uuid>::read(const SqliteStatement& statement, int column)
{
    if (!statement.isBlob(column))
        return Uuid::parse(statement.textColumnView(column)).value_or(Uuid());
    const auto bytes = statement.blobColumnView(column);
    Uuid::Bytes value{};
    if (bytes.size() != value.size())
        return Uuid();
    std::copy(bytes.begin(), bytes.end(), value.begin());
    return Uuid(value);
}

bool ColumnCodec<Uuid>::matches(const SqliteStatement& statement, int column, const Uuid& value)
{
    if (!statement.isBlob(column))
        return read(statement, column) == value;
    const auto bytes = statement.blobColumnView(column);
    return std::equal(bytes.begin(), bytes.end(), value.bytes().begin(), value.bytes().end());
}

std::string ColumnCodec<std::string>::sqlDefault(const std::string& value)
{
    std::string literal = "'";
    for (const char c : value) {
        if (c == '\'')
            literal += '\'';
        literal += c;
    }
    return literal + "'";
}

void ColumnCodec<std::string>::bind(SqliteStatement& statement, int index, const std::string& value)
{
    statement.bindText(index, value);
}

std::string ColumnCodec<std::string>::read(const SqliteStatement& statement, int column)
{
    return statement.textColumn(column);
}

std::string ColumnCodec<bool>::sqlDefault(bool value)
{
    return value ? "1" : "0";
}

void ColumnCodec<bool>::bind(SqliteStatement& statement, int index, bool value)
{
    statement.bindInteger(index, value ? 1 : 0);
}

bool ColumnCodec<bool>::read(const SqliteStatement& statement, int column)
{
    return statement.integerColumn(column) != 0;
}

std::string ColumnCodec<std::int64_t>::sqlDefault(std::int64_t value)
{
    return formatInteger(value);
}

void ColumnCodec<std::int64_t>::bind(SqliteStatement& statement, int index, std::int64_t value)
{
    statement.bindInteger(index, value);
}

std::int64_t ColumnCodec<std::int64_t>::read(const SqliteStatement& statement, int column)
{
    return statement.integerColumn(column);
}

std::string ColumnCodec<double>::sqlDefault(double value)
{
    return formatShortest(std::isfinite(value) ? value : 0.0);
}

void ColumnCodec<double>::bind(SqliteStatement& statement, int index, double value)
{
    statement.bindDouble(index, std::isnan(value) ? 0.0 : value);
}

double ColumnCodec<double>::read(const SqliteStatement& statement, int column)
{
    return statement.doubleColumn(column);
}

std::string ColumnCodec<Date>::sqlDefault(Date value)
{
    return formatInteger(offsetFromReferenceDate(value));
}

void ColumnCodec<Date>::bind(SqliteStatement& statement, int index, Date value)
{
    statement.bindInteger(index, offsetFromReferenceDate(value));
}

Date ColumnCodec<Date>::read(const SqliteStatement& statement, int column)
{
    if (statement.isNull(column))
        return kDistantPast;
    const std::int64_t offset = std::min(statement.integerColumn(column), kMaxOffset);
    return kReferenceDate + Duration(offset);
}
