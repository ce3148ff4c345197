#pragma once
// The program's look: one style sheet, a light blue palette on the Fusion style, a font with
// Chinese glyphs, and the pictures drawn for the windows (SVG files in the resources).
//
// Style classes: set the dynamic property "skin" before a widget is first shown.
//   QWidget[skin="navBar"]        the navigation bar's background
//   QToolButton[skin="navSection"] a section header of the navigation bar ("记 账", "系 统")
//   QToolButton[skin="navItem"]   a navigation item: 32px picture above its text
//   QFrame[skin="toolBar"]        a page's tool bar strip
//   QToolButton[skin="tool"]      a tool-bar button: 20px icon beside its text
//   QToolButton[skin="flat"]      a picture button without frame (status bar, close buttons)
//   QFrame[skin="panel"]          a framed light panel (quick search, totals)
//   QLabel[skin="link"]           link-styled text: blue, underlined on hover (owner sets the hand cursor)
//   QLabel[skin="income"] / [skin="expense"]  green / red values
//   QLabel[skin="required"]       the red "*" before a required field
//   QLabel[skin="title"]          bold navy heading
//
// Picture names (Skin::picture / Skin::icon), natural size in pixels:
//   Navigation bar, 32x32:  nav_zhangben (账本: open ledger), nav_shouru (收入汇总: green
//     coins with up arrow), nav_zhichu (支出汇总: red wallet with down arrow), nav_tongji
//     (汇总统计: bar chart), nav_mima (设置密码: key), nav_help (帮助: blue question mark),
//     nav_juanzhu (捐助: heart in a hand), nav_about (关于: blue "i")
//   Status bar: status_lock 18x18 (yellow padlock), status_kefu 80x21 (green leaf and
//     "Varnel客服"), status_sponsor 125x21 ("办公用品特价抢购！"), status_web 90x21
//     ("tallyrue.example"), status_health 125x21 ("数据库健康检查")
//   Account-book page: book_banner_left 300x48 (ledger and the title "账本"),
//     book_banner_middle 16x48 (band, stretch or tile it), book_banner_right 220x48
//     (coins and a pen on the band); book_strip_left 160x26 (tab "收支记录"),
//     book_strip_middle 16x26, book_strip_right 24x26; book_totals 56x48 (calculator);
//     search_close 16x16 (small close cross)
//   Tool bar, 20x20: tool_new_shouru (page with green plus), tool_new_zhichu (page with
//     red minus), tool_mingxi (list of lines), tool_edit (page with pencil), tool_delete
//     (red cross over a page), tool_search (magnifier), tool_refresh (two round arrows),
//     tool_print (printer), tool_help (question mark), tool_new_book (book with plus)
//   Entry dialogs: tag 16x16 (price tag), badge_shouru 50x22 (green "收入"),
//     badge_zhichu 50x22 (red "支出")
//   Detail window: detail_banner 634x54 (frame headed "您选中的记录", room for one line of
//     text inside), detail_add 20x20 (list with a green plus)
//   Switch dialog: switch_header 470x58 (two books and swap arrows on the band)
//   Summary pages: summary_title_shouru 160x30 (green plus and "收入汇总"),
//     summary_title_zhichu 160x30 (red minus and "支出汇总"), summary_banner_middle 16x30
//     (band, stretch it), summary_banner_right 220x30 (slogan and a small bar chart)
//   Statistics window: statistics_background 300x298 (pale gradient, folder lower right)
//   Welcome page: welcome_banner 560x150 ("欢迎使用 Tallyrue" and a slogan)
//   Usage guide: guide_page1 .. guide_page5 642x400 (the five pages, drawn from screenshots
//     of the real windows), guide_next 100x30 ("下一页"), guide_close 194x44 ("开始使用")
//   About window: about_banner 495x80 (ledger, coins and the product name on blue)
//   Welcome page: welcome_banner 560x150 ("欢迎使用 Tallyrue" and a slogan), welcome_logo
//     160x56 (the maker's leaf and "Varnel"), welcome_callout 40x196 (orange strip pointing
//     left, "从这里开始工作" downwards), welcome_notepad 300x300 (notepad and magnifying
//     glass); quick-entry panel: quick_background 309x150 (two curved arrows towards the
//     middle right), quick_shouru / quick_zhangben / quick_zhichu 69x42 (picture buttons
//     reading 收入, 账本, 支出); lock panel: lock_keys 60x60 (keys and a warning sign);
//     links 313x25: link_guide ("不会用？点这里查看 快速入门"), link_contact
//     ("您有任何意见或建议，请随时联系Varnel软件")
//   Program: app_icon 64x64
#include <QIcon>
#include <QPixmap>
#include <QString>

class QApplication;

namespace Skin {

// Fusion base style, light blue palette, the application font and the style sheet.
void apply(QApplication &app);

// A picture by name as an icon (scales cleanly); null when the name is unknown.
QIcon icon(const QString &name);

// A picture by name at its natural size (sharp on high-density screens); null when unknown.
QPixmap picture(const QString &name);

// The style sheet text as shipped.
QString styleSheet();

} // namespace Skin
