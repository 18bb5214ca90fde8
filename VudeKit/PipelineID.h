#pragma once
// The file pipelines a drop can run, and the lanes a drop can land on: a
// pipeline, the tray ("shelf") or a nearby device (the `airDrop` case, sent
// through KDE Connect and shown by that name). Lane ids are stable strings
// kept in the `pipelineOrder` setting.

#include "VudeKit/EnumTraits.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <variant>

enum class PipelineID {
    compressImage,
    convertFormat,
    zip,
    unzip,
    stripEXIF,
    imagesToPDF,
    rename,
    copyPaths,
};

template <>
struct EnumTraits<PipelineID> {
    using P = PipelineID;
    static constexpr std::array cases{
        EnumCase{P::compressImage, "compressImage", "Compress image", "arrow.down.circle"},
        EnumCase{P::convertFormat, "convertFormat", "Convert format", "arrow.triangle.2.circlepath"},
        EnumCase{P::zip, "zip", "Zip", "doc.zipper"},
        EnumCase{P::unzip, "unzip", "Unzip", "arrow.up.bin"},
        EnumCase{P::stripEXIF, "stripEXIF", "Strip EXIF", "eye.slash"},
        EnumCase{P::imagesToPDF, "imagesToPDF", "Images to PDF", "doc.richtext"},
        EnumCase{P::rename, "rename", "Rename", "textformat"},
        EnumCase{P::copyPaths, "copyPaths", "Copy path", "doc.on.clipboard"},
    };
};

class DropLane {
public:
    struct Pipeline {
        PipelineID id;
        bool operator==(const Pipeline&) const = default;
    };
    struct Shelf {
        bool operator==(const Shelf&) const = default;
    };
    struct AirDrop {
        bool operator==(const AirDrop&) const = default;
    };
    using Value = std::variant<Pipeline, Shelf, AirDrop>;

    static DropLane pipeline(PipelineID id) { return DropLane(Pipeline{id}); }
    static DropLane shelf() { return DropLane(Shelf{}); }
    static DropLane airDrop() { return DropLane(AirDrop{}); }

    const Value& value() const { return m_value; }
    /// The pipeline of a pipeline lane, else nullptr.
    const PipelineID* pipelineID() const;

    /// The pipeline's id, "shelf" or "airdrop".
    std::string_view id() const;
    std::string_view displayName() const;
    std::string_view symbol() const;
    /// True for the two fixed lanes, false for every pipeline lane.
    bool isPrimary() const;

    bool operator==(const DropLane&) const = default;

private:
    explicit DropLane(Value value) : m_value(value) {}
    Value m_value;
};

template <>
struct std::hash<DropLane> {
    std::size_t operator()(const DropLane& lane) const noexcept { return std::hash<std::string_view>()(lane.id()); }
};
