// The dialog templates: each control's id, kind, text and place in dialog units, in tab order.
#pragma once

#include <span>

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    Label,
    HiddenLabel,
    ListView,
    Icon,
    Edit,       // one line, scrolls horizontally, no length limit
    DigitsEdit, // as Edit, and only digits can be typed
    DropDownList,
    DisabledDropDownList,
    IpAddress,
    HiddenProgressBar, // a busy indicator, hidden until shown
};

struct TemplateControl {
    int id; // -1 for a control without an id
    ControlKind kind;
    const char* text; // UTF-8
    int x, y, width, height;
};

struct DialogTemplate {
    const char* title;
    int width, height;
    std::span<const TemplateControl> controls;
};

// Main window (template 102) control ids.
inline constexpr int IDC_NEW = 1000;
inline constexpr int IDC_HELP = 1001;
inline constexpr int IDC_INFORMATION_LIST = 1002;
inline constexpr int IDC_CERTIFICATE_LIST = 1003;
inline constexpr int IDC_DELETE = 1004;
inline constexpr int IDC_GENERATE_CITATION = 1005;
inline constexpr int IDC_SHOW_CERTIFICATE_FILE = 1006;
inline constexpr int IDC_CERTIFICATES_LABEL = -2;
inline constexpr int IDC_INFORMATION_LABEL = -3;

inline constexpr TemplateControl kMainWindowControls[] = {
    {IDC_NEW, ControlKind::PushButton, "NEW", 7, 7, 50, 14},
    {IDC_HELP, ControlKind::PushButton, "HELP", 263, 7, 50, 14},
    {IDC_CERTIFICATES_LABEL, ControlKind::Label, "Certificates", 7, 28, 121, 8},
    {IDC_INFORMATION_LIST, ControlKind::ListView, "", 7, 135, 306, 113},
    {IDC_INFORMATION_LABEL, ControlKind::Label, "Information", 7, 122, 130, 8},
    {IDC_CERTIFICATE_LIST, ControlKind::ListView, "", 7, 39, 306, 76},
    {IDC_DELETE, ControlKind::PushButton, "Delete", 105, 261, 50, 14},
    {IDC_GENERATE_CITATION, ControlKind::PushButton, "Generate Citation", 162, 261, 72, 14},
    {IDC_SHOW_CERTIFICATE_FILE, ControlKind::PushButton, "Show Certificate File", 241, 261, 72, 14},
};

inline constexpr DialogTemplate kMainWindowTemplate = {"Quillet", 320, 282, kMainWindowControls};

// How each main-window control follows a resize: percentages of the change in client size.
struct ResizeRule {
    int id;
    int moveX, moveY, growX, growY;
};

inline constexpr ResizeRule kMainWindowResizeRules[] = {
    {IDC_NEW, 0, 0, 0, 0},
    {IDC_HELP, 100, 0, 0, 0},
    {IDC_CERTIFICATES_LABEL, 0, 0, 0, 0},
    {IDC_INFORMATION_LIST, 0, 50, 100, 50},
    {IDC_INFORMATION_LABEL, 0, 50, 0, 0},
    {IDC_CERTIFICATE_LIST, 0, 0, 100, 50},
    {IDC_DELETE, 100, 100, 0, 0},
    {IDC_GENERATE_CITATION, 100, 100, 0, 0},
    {IDC_SHOW_CERTIFICATE_FILE, 100, 100, 0, 0},
};

// About box (template 100).
inline constexpr int IDC_ABOUT_ICON = -4;
inline constexpr int IDC_ABOUT_VERSION = -5;
inline constexpr int IDC_ABOUT_COPYRIGHT = -6;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr TemplateControl kAboutControls[] = {
    {IDC_ABOUT_ICON, ControlKind::Icon, "", 14, 14, 0, 0}, // sized by the icon
    {IDC_ABOUT_VERSION, ControlKind::Label, "Quillet、バージョン 1.0", 42, 14, 142, 8},
    {IDC_ABOUT_COPYRIGHT, ControlKind::Label, "Copyright (C) 2026 Morvel", 42, 26, 114, 8},
    {IDOK, ControlKind::DefaultPushButton, "OK", 148, 41, 50, 14},
};

inline constexpr DialogTemplate kAboutTemplate = {"Quillet について", 205, 62, kAboutControls};

// Generation form (template 130) control ids.
inline constexpr int IDC_FILE_NAME = 1003;
inline constexpr int IDC_VALID_DAYS = 1004;
inline constexpr int IDC_KEY_SIZE = 1005;
inline constexpr int IDC_KEY_ALGORITHM = 1006;
inline constexpr int IDC_SERIAL_NUMBER = 1007;
inline constexpr int IDC_COUNTRY_NAME = 1008;
inline constexpr int IDC_STATE_OR_PROVINCE = 1009;
inline constexpr int IDC_LOCALITY = 1010;
inline constexpr int IDC_ORGANIZATION_NAME = 1011;
inline constexpr int IDC_ORGANIZATIONAL_UNIT = 1012;
inline constexpr int IDC_COMMON_NAME = 1013;
inline constexpr int IDC_EMAIL_ADDRESS = 1014;
inline constexpr int IDC_IP_ADDRESS = 1015;
inline constexpr int IDC_PROGRESS = 1017;
inline constexpr int IDC_GENERATING_LABEL = 1018;
inline constexpr int IDC_REQUIRED_LEGEND = 1019;

// The labels above the inputs have no ids of their own; they are numbered from -100 down.
inline constexpr TemplateControl kCertGenFormControls[] = {
    {-100, ControlKind::Label, "(*)File Name", 7, 7, 104, 8},
    {IDC_FILE_NAME, ControlKind::Edit, "", 7, 17, 106, 14},
    {-101, ControlKind::Label, "(*)Valid Days", 7, 35, 108, 8},
    {IDC_VALID_DAYS, ControlKind::DigitsEdit, "", 7, 47, 106, 14},
    {-102, ControlKind::Label, "Key Size", 7, 63, 108, 8},
    {IDC_KEY_SIZE, ControlKind::DropDownList, "", 7, 74, 106, 14},
    {-103, ControlKind::Label, "Key Algorithm", 7, 91, 107, 8},
    {IDC_KEY_ALGORITHM, ControlKind::DisabledDropDownList, "", 7, 102, 106, 14},
    {-104, ControlKind::Label, "(*)IP Address", 7, 119, 107, 8},
    {IDC_IP_ADDRESS, ControlKind::IpAddress, "", 7, 130, 106, 15},
    {-105, ControlKind::Label, "(*)Serial Number", 7, 148, 104, 8},
    {IDC_SERIAL_NUMBER, ControlKind::Edit, "", 7, 158, 106, 14},
    {-106, ControlKind::Label, "Country Name(C)", 132, 7, 106, 8},
    {IDC_COUNTRY_NAME, ControlKind::Edit, "", 132, 18, 106, 14},
    {-107, ControlKind::Label, "State or Province(ST)", 132, 35, 106, 8},
    {IDC_STATE_OR_PROVINCE, ControlKind::Edit, "", 132, 46, 106, 14},
    {-108, ControlKind::Label, "Locality(L)", 132, 63, 106, 8},
    {IDC_LOCALITY, ControlKind::Edit, "", 132, 74, 106, 14},
    {-109, ControlKind::Label, "Organization Name(O)", 132, 91, 106, 8},
    {IDC_ORGANIZATION_NAME, ControlKind::Edit, "", 132, 102, 106, 14},
    {-110, ControlKind::Label, "Organizational Unit(OU)", 132, 119, 106, 8},
    {IDC_ORGANIZATIONAL_UNIT, ControlKind::Edit, "", 132, 130, 106, 14},
    {-111, ControlKind::Label, "(*)Common Name", 132, 147, 106, 8},
    {IDC_COMMON_NAME, ControlKind::Edit, "", 132, 158, 106, 14},
    {-112, ControlKind::Label, "E-mail Address", 132, 175, 106, 8},
    {IDC_EMAIL_ADDRESS, ControlKind::Edit, "", 132, 186, 106, 14},
    {IDOK, ControlKind::DefaultPushButton, "OK", 131, 206, 50, 14},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 188, 206, 50, 14},
    {IDC_REQUIRED_LEGEND, ControlKind::Label, "(*)Require field", 7, 181, 107, 8},
    {IDC_GENERATING_LABEL, ControlKind::HiddenLabel, "Generating...", 7, 196, 109, 8},
    {IDC_PROGRESS, ControlKind::HiddenProgressBar, "", 7, 206, 80, 14},
};

inline constexpr DialogTemplate kCertGenFormTemplate = {"Quillet", 245, 227, kCertGenFormControls};
