# Writes the software centres' entry (AppStream metainfo) from vorlaxen.metainfo.xml.in:
#   cmake -DOUTPUT=FILE -DCOMPONENT_ID=ID -DVERSION=V -DDATE=YYYY-MM-DD [-DHOMEPAGE=URL] -P Metainfo.cmake
# With a web page the entry names it and shows the manual's pictures as they are published beside it
# (HOMEPAGE/images/NAME.png); software centres take pictures only from the web, so an entry without a web
# page has none.

string(SUBSTRING "${DATE}" 0 4 YEAR)
set(URL "")
set(SCREENSHOTS "")
if(NOT "${HOMEPAGE}" STREQUAL "")
    string(REGEX REPLACE "/+$" "" _base "${HOMEPAGE}")
    set(URL "  <url type=\"homepage\">${_base}</url>\n")
    # The manual's pictures with their captions; the first is the one software centres show first.
    set(_pictures
        "main-window|The main window: the directory tree and the two panes"
        "run-in-progress|Files being encrypted, with progress and statistics"
        "password-dialog|The password dialog"
        "preferences|The preferences")
    set(SCREENSHOTS "  <screenshots>\n")
    set(_type " type=\"default\"")
    foreach(_picture IN LISTS _pictures)
        string(REPLACE "|" ";" _parts "${_picture}")
        list(GET _parts 0 _name)
        list(GET _parts 1 _caption)
        string(APPEND SCREENSHOTS "    <screenshot${_type}>\n"
                                  "      <image>${_base}/images/${_name}.png</image>\n"
                                  "      <caption>${_caption}</caption>\n"
                                  "    </screenshot>\n")
        set(_type "")
    endforeach()
    string(APPEND SCREENSHOTS "  </screenshots>\n")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/vorlaxen.metainfo.xml.in "${OUTPUT}" @ONLY)
