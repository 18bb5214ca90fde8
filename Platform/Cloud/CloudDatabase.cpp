#include "Platform/Cloud/CloudDatabase.h"

#include <algorithm>

Expected<void, CloudError> CloudDatabase::save(const CloudRecord& record)
{
    return modify({record});
}

Expected<CloudRecord, CloudError> CloudDatabase::fetch(const std::string& recordName)
{
    auto snapshot = fetchAll();
    if (!snapshot)
        return unexpected(snapshot.error());
    const auto found = std::find_if(snapshot->records.begin(), snapshot->records.end(),
                                    [&](const CloudRecord& record) { return record.recordName == recordName; });
    if (found == snapshot->records.end() || found->deleted)
        return unexpected(CloudError{CloudError::unknownItem, "Record not found: " + recordName});
    return *found;
}

Expected<void, CloudError> CloudDatabase::remove(const std::string& recordName, const std::string& recordType, Date at)
{
    CloudRecord mark;
    mark.recordName = recordName;
    mark.recordType = recordType;
    mark.modifiedAt = at;
    mark.deleted = true;
    return modify({mark});
}
