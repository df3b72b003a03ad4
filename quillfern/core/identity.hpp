// The published identity of the type library and the Encryption control:
// the identifiers, version, locale and help strings that existing hosts
// bind to. Everything that names the library reads it from here.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillfern::identity {

inline constexpr std::string_view library_name = "quillfern";
inline constexpr std::string_view library_guid = "{CC0A55EA-40DA-11CE-A037-444553540000}";
inline constexpr std::uint16_t library_version_major = 34;
inline constexpr std::uint16_t library_version_minor = 0;
inline constexpr std::uint32_t library_locale = 1033;
inline constexpr std::string_view library_help = "Quillfern OCX Encryption Oldvane";

inline constexpr std::string_view class_name = "Encryption";
inline constexpr std::string_view class_guid = "{57ED96B6-064A-11D2-A037-444553540000}";
inline constexpr std::string_view prog_id = "quillfern.Encryption";

inline constexpr std::string_view interface_name = "_Encryption";
inline constexpr std::string_view interface_guid = "{57ED96B5-064A-11D2-A037-444553540000}";

inline constexpr std::string_view events_name = "__Encryption";
inline constexpr std::string_view events_guid = "{57ED96B7-064A-11D2-A037-444553540000}";
inline constexpr std::string_view hide_event_name = "Hide";
inline constexpr std::int32_t hide_event_dispid = 1;
inline constexpr std::string_view hide_event_help =
    "Occurs when the control's Visible property changes to False.";

// The application title that a message box without a title of its own carries.
inline constexpr std::string_view application_title = "quillfern";

// The maker's name, used as the title of the cipher-text message boxes.
inline constexpr std::string_view maker_name = "Oldvane";

// The control's face at design time, in twips.
inline constexpr int face_width = 2880;
inline constexpr int face_height = 480;
inline constexpr std::string_view face_caption = "Quillfern OCX";
inline constexpr int toolbox_bitmap_resource = 30000;

}  // namespace quillfern::identity
