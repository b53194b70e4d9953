# Warnings for every target of the project; the developer mode makes them fatal. The strict Qt
# defines hold in every build, so that code which only builds in one of them never lands.
add_compile_options(-Wall -Wextra)
add_compile_definitions(QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_ASCII QT_NO_CAST_FROM_BYTEARRAY
                        QT_NO_URL_CAST_FROM_STRING QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
                        QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)

# __FILE__ (in test failures and Qt's own messages) names files relative to the checkout, the same
# in every clone, so a compiler cache can serve one clone what another compiled.
add_compile_options(-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)

if(LUMIVANE_DEVELOPER_MODE)
    add_compile_options(-Werror)
endif()

if(LUMIVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
