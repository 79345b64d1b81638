// sdk_twain_values.h - the TWAIN values the library keeps, listed once by the names the standard's header
// gives them: sdk_twain_values.cpp expands the lists with that header, whose macros bear the very names of
// the library's constants, and the test with the library's own.
#ifndef QELBOOT_TESTS_WINDOWS_SDK_TWAIN_VALUES_H
#define QELBOOT_TESTS_WINDOWS_SDK_TWAIN_VALUES_H

#define QEL_TWAIN_VALUES(VALUE)                                                                              \
    VALUE(DG_CONTROL), VALUE(DG_IMAGE), VALUE(DAT_IDENTITY), VALUE(DAT_PARENT), VALUE(MSG_GETFIRST),         \
        VALUE(MSG_GETNEXT), VALUE(MSG_OPENDSM), VALUE(MSG_CLOSEDSM), VALUE(TWRC_SUCCESS),                    \
        VALUE(TWRC_FAILURE), VALUE(TWRC_ENDOFLIST), VALUE(TWLG_USA), VALUE(TWCY_USA)
// TW_IDENTITY's fields whose offsets the library relies on; its size follows them.
#define QEL_TWAIN_FIELDS(FIELD)                                                                              \
    FIELD(Version), FIELD(ProtocolMajor), FIELD(SupportedGroups), FIELD(ProductName)

namespace qel {

// The standard's values in the order of the lists, then sizeof(TW_IDENTITY).
extern const unsigned long long kSdkTwain[];

} // namespace qel

#endif // QELBOOT_TESTS_WINDOWS_SDK_TWAIN_VALUES_H
