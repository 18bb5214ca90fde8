#include "Vude/Desk/ClipRowLook.h"

ClipRowLook ClipRowLook::of(const NotchClip& clip, bool hovering, bool justCopied)
{
    ClipRowLook look;
    look.symbol = justCopied ? std::string_view("checkmark") : kindSymbol(clip.kind);
    look.text = justCopied ? std::string("Copied") : clip.preview;
    look.symbolColor = justCopied ? Vude::Semantic::sage : Vude::Stone::x400;
    look.textColor = justCopied ? Vude::Stone::x200 : Vude::Stone::x100;
    if (hovering)
        look.background = Vude::Ink::x850;
    look.showsRemove = hovering && !justCopied;
    return look;
}

std::string_view ClipRowLook::kindSymbol(Clip::Kind kind)
{
    switch (kind) {
    case Clip::Kind::text:
        return "text.alignleft";
    case Clip::Kind::url:
        return "link";
    case Clip::Kind::image:
        return "photo";
    case Clip::Kind::file:
        return "doc";
    }
    return "text.alignleft";
}

std::string ClipRowLook::toolTip(const NotchClip& clip)
{
    return clip.kind == Clip::Kind::text ? clip.preview : clip.text;
}
