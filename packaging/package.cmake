# What desktops and software centres read, and the Debian package:
#   cpack -G DEB   (in the build folder) makes tallyrue_<version>_<arch>.deb of everything
#   the install step installs, under /usr. The version is project()'s.

# The day the version project() names was released.
set(TALLYRUE_RELEASE_DATE 2026-12-11)

configure_file(${CMAKE_CURRENT_LIST_DIR}/tallyrue.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/tallyrue.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tallyrue.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages, compressed as Debian keeps them.
set(man_pages "")
foreach(page tallyrue.1 tallyrue-restore.1)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${page}.in ${CMAKE_BINARY_DIR}/packaging/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${page}.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/${page}
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/${page} VERBATIM)
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
endforeach()
add_custom_target(tallyrue_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyrue)
set(CPACK_PACKAGE_VENDOR "Tallyrue developers")
set(CPACK_PACKAGE_CONTACT "Tallyrue developers <dev@tallyrue.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tallyrue.example/")
# The install step runs with the prefix /usr (which the desktop entry names) into DESTDIR,
# not with the prefix of the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION office)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no library names them: the Chinese glyphs of the windows and of
# the PDF reports, and the Chinese texts of Qt's own buttons and dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, fonts-droid-fallback, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bookkeeping of income and expenses (收支记账)")
# The summary is the first line of the package's description, this the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tallyrue keeps account books of income and expenses. Each entry has a
date, a summary, a counterparty and three amounts: the total, the part
settled and the part still to be received or paid. It lists, searches
and sorts the entries with the book's running totals, shows income and
expense summaries and charts, attaches dated detail lines to an entry,
prints reports or writes them to PDF, Excel and CSV, and can ask for a
password at start. The data lives in encrypted files, every change is
stored at once, and daily backup sets are kept (tallyrue-restore puts
one back). The user interface is in Chinese.

Tallyrue 是一个中文界面的单用户记账程序。用户可以建立多个账本，
在当前账本中录入收入和支出，每一笔都有日期、摘要、往来单位和三个金额：
总金额、已结金额和未结金额（应收或应付）。程序可以查询、排序账目并显示
账本的各项合计，提供收入汇总、支出汇总和图表，为账目添加带日期的明细，
打印报表或导出为 PDF、Excel 和 CSV，并可设置启动密码。数据保存在加密的
数据文件中，每次修改立即保存，每天自动备份（用 tallyrue-restore 恢复）。")
include(CPack)

# Builds the package and checks it with dpkg-deb, against what the install step installs.
add_test(NAME packaging_tst_deb COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/tst_deb.sh
  ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_CPACK_COMMAND} ${CMAKE_COMMAND})
set_tests_properties(packaging_tst_deb PROPERTIES TIMEOUT 600)
