#pragma once
// The texts the windows show, as GBK bytes like every text of the core; to_qt() turns
// them into QStrings where a widget needs one. Spacing inside a text is part of it
// ("删    除" has four blanks, the captcha caption starts with a blank).
namespace corvane::ui_text {

inline constexpr const char* MAIN_CAPTION = "Corvane\xB8\xF6\xC8\xCB\xD4\xC6\xCD\xF8\xC5\xCC\xBF\xCD\xBB\xA7\xB6\xCB\xB0\xE6"; /* Corvane个人云网盘客户端版 */
inline constexpr const char* TAB_DIRECTORIES = "\xCD\xF8\xC5\xCC\xC4\xBF\xC2\xBC"; /* 网盘目录 */
inline constexpr const char* TAB_TASKS = "\xCF\xC2\xD4\xD8\xC8\xCE\xCE\xF1"; /* 下载任务 */
inline constexpr const char* STATUS_HINT = " \xCC\xE1\xCA\xBE\xD0\xC5\xCF\xA2:"; /*  提示信息: */
inline constexpr const char* STATUS_RIGHTS = "\xC8\xA8\xCF\xDE:"; /* 权限: */
inline constexpr const char* STATUS_SPACE_PLACEHOLDER = "\xBF\xD5\xBC\xE4:---M \xCA\xA3\xD3\xE0:---M \xD4\xDA\xCF\xDF:-\xC8\xCB"; /* 空间:---M 剩余:---M 在线:-人 */
inline constexpr const char* LOADING = "\xD5\xFD\xD4\xDA\xBC\xD3\xD4\xD8\xD6\xD0..."; /* 正在加载中... */
inline constexpr const char* MENU_TITLE = "\xD3\xD2\xBC\xFC\xB2\xCB\xB5\xA5"; /* 右键菜单 */
inline constexpr const char* MENU_REFRESH = "\xCB\xA2\xD0\xC2\xC4\xBF\xC2\xBC"; /* 刷新目录 */
inline constexpr const char* MENU_DELETE = "\xC9\xBE    \xB3\xFD"; /* 删    除 */
inline constexpr const char* MENU_EDIT = "\xB1\xE0    \xBC\xAD"; /* 编    辑 */
inline constexpr const char* MENU_COPY_ADDRESS = "\xB8\xB4\xD6\xC6\xB5\xD8\xD6\xB7"; /* 复制地址 */
inline constexpr const char* COLUMN_FILE_NAME = "\xCE\xC4\xBC\xFE\xC3\xFB\xB3\xC6"; /* 文件名称 */
inline constexpr const char* COLUMN_SIZE = "\xB4\xF3\xD0\xA1"; /* 大小 */
inline constexpr const char* COLUMN_TIME = "\xD0\xDE\xB8\xC4\xCA\xB1\xBC\xE4"; /* 修改时间 */
inline constexpr const char* COLUMN_ID = "\xCA\xF4\xD0\xD4ID"; /* 属性ID */
inline constexpr const char* COLUMN_TASK_NAME = "\xCF\xC2\xD4\xD8/\xC9\xCF\xB4\xAB\xCE\xC4\xBC\xFE\xC3\xFB\xB3\xC6"; /* 下载/上传文件名称 */
inline constexpr const char* COLUMN_TASK_PROGRESS = "\xCF\xC2\xD4\xD8/\xC9\xCF\xB4\xAB\xBD\xF8\xB6\xC8(%)"; /* 下载/上传进度(%) */
inline constexpr const char* COLUMN_TASK_SPEED = "\xC9\xCF\xB4\xAB/\xCF\xC2\xD4\xD8\xCB\xD9\xB6\xC8(KB)"; /* 上传/下载速度(KB) */
inline constexpr const char* COLUMN_TASK_STATE = "\xC8\xCE\xCE\xF1\xC3\xFB\xB3\xC6(\xCF\xC2\xD4\xD8/\xC9\xCF\xB4\xAB)"; /* 任务名称(下载/上传) */
inline constexpr const char* UPLOAD_DIALOG_TITLE = "\xD1\xA1\xD4\xF1\xD2\xAA\xC9\xCF\xB4\xAB\xB5\xC4\xCE\xC4\xBC\xFE"; /* 选择要上传的文件 */
inline constexpr const char* UPLOAD_DIALOG_FILTER = "\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE(*.*)"; /* 所有文件(*.*) */
inline constexpr const char* LOGGING_IN = "\xD5\xFD\xD4\xDA\xB5\xC7\xC2\xBC..."; /* 正在登录... */
inline constexpr const char* IDENTITY_OWNER = "\xB9\xDC\xC0\xED\xD4\xB1\xC9\xED\xB7\xDD"; /* 管理员身份 */
inline constexpr const char* IDENTITY_VISITOR = "\xD3\xCE\xBF\xCD\xC9\xED\xB7\xDD"; /* 游客身份 */
inline constexpr const char* LOGOUT_QUESTION_HEAD = "\xC4\xFA\xC8\xB7\xB6\xA8\xD2\xAA\xD7\xA2\xCF\xFA'"; /* 您确定要注销' */
inline constexpr const char* LOGOUT_QUESTION_TAIL = "'\xD3\xC3\xBB\xA7\xC2\xF0?"; /* '用户吗? */
inline constexpr const char* LOGOUT_DONE = "\xD4\xC6\xD3\xC3\xBB\xA7\xD7\xA2\xCF\xFA\xB3\xC9\xB9\xA6"; /* 云用户注销成功 */
inline constexpr const char* LOGIN_CANCELLED = "\xB5\xC7\xC2\xBC\xC8\xA1\xCF\xFB\xC1\xCB"; /* 登录取消了 */
inline constexpr const char* EXIT_QUESTION = "\xCA\xC7\xB7\xF1\xC8\xB7\xB6\xA8\xD2\xAA\xCD\xCB\xB3\xF6?"; /* 是否确定要退出? */
inline constexpr const char* DIRECTORIES_LOADED = "\xC4\xBF\xC2\xBC\xBB\xF1\xC8\xA1\xCD\xEA\xB3\xC9"; /* 目录获取完成 */
inline constexpr const char* COUNT_TITLE_HEAD = "\xCE\xC4\xBC\xFE\xC3\xFB\xB3\xC6   (\xB9\xB2"; /* 文件名称   (共 */
inline constexpr const char* COUNT_TITLE_DIRECTORIES = "\xB8\xF6\xC4\xBF\xC2\xBC)"; /* 个目录) */
inline constexpr const char* PROTECTED_DIRECTORY = "\xBC\xD3\xC3\xDC\xCE\xC4\xBC\xFE\xBC\xD0"; /* 加密文件夹 */
inline constexpr const char* BUTTON_UPLOAD = "\xC9\xCF\xB4\xAB"; /* 上传 */
inline constexpr const char* BUTTON_DOWNLOAD = "\xCF\xC2\xD4\xD8"; /* 下载 */
inline constexpr const char* BUTTON_CREATE_DIRECTORY = "\xD0\xC2\xBD\xA8\xC4\xBF\xC2\xBC"; /* 新建目录 */
inline constexpr const char* BUTTON_REFRESH = "\xCB\xA2\xD0\xC2"; /* 刷新 */
inline constexpr const char* BUTTON_DELETE = "\xC9\xBE\xB3\xFD"; /* 删除 */
inline constexpr const char* BUTTON_TASK_LIST = "\xC8\xCE\xCE\xF1\xC1\xD0\xB1\xED"; /* 任务列表 */
inline constexpr const char* BUTTON_FILE_LIST = "\xCD\xF8\xC5\xCC\xC4\xBF\xC2\xBC"; /* 网盘目录 */
inline constexpr const char* BUTTON_ONLINE_LIST = "\xD4\xDA\xCF\xDF\xC1\xD0\xB1\xED"; /* 在线列表 */
inline constexpr const char* BUTTON_DOWNLOAD_RECORDS = "\xCF\xC2\xD4\xD8\xBC\xC7\xC2\xBC"; /* 下载记录 */
inline constexpr const char* BUTTON_RESTORE_DELETED = "\xBB\xD6\xB8\xB4\xC9\xBE\xB3\xFD"; /* 恢复删除 */
inline constexpr const char* BUTTON_LOGIN = "\xB5\xC7\xC2\xBC"; /* 登录 */
inline constexpr const char* BUTTON_LOGOUT = "\xD7\xA2\xCF\xFA"; /* 注销 */
inline constexpr const char* BUTTON_EXIT = "\xCD\xCB\xB3\xF6"; /* 退出 */
inline constexpr const char* LOGIN_CAPTION = "\xD4\xC6\xB4\xE6\xB4\xA2\xB5\xC7\xC2\xBC\xBD\xE7\xC3\xE6"; /* 云存储登录界面 */
inline constexpr const char* LOGIN_ACCOUNT_LABEL = "\xD4\xC6\xD3\xC3\xBB\xA7\xA3\xBA"; /* 云用户： */
inline constexpr const char* LOGIN_PASSWORD_LABEL = "\xD4\xC6\xC3\xDC\xC2\xEB\xA3\xBA"; /* 云密码： */
inline constexpr const char* LOGIN_REGISTER = "\xD7\xA2\xB2\xE1\xD4\xC6\xD5\xCB\xBA\xC5"; /* 注册云账号 */
inline constexpr const char* LOGIN_RECOVER_PASSWORD = "\xD5\xD2\xBB\xD8\xC3\xDC\xC2\xEB"; /* 找回密码 */
inline constexpr const char* LOGIN_REMEMBER = "\xCF\xC2\xB4\xCE\xCA\xC7\xB7\xF1\xD7\xD4\xB6\xAF\xB5\xC7\xC2\xBC"; /* 下次是否自动登录 */
inline constexpr const char* LOGIN_BUTTON = "\xB5\xC7 \xC2\xBC"; /* 登 录 */
inline constexpr const char* LOGIN_FIELDS_EMPTY = "\xD4\xC6\xD3\xC3\xBB\xA7\xBA\xCD\xC3\xDC\xC2\xEB\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5"; /* 云用户和密码不能为空 */
inline constexpr const char* CAPTCHA_CAPTION = " \xC7\xEB\xCA\xE4\xC8\xEB\xD1\xE9\xD6\xA4\xC2\xEB"; /*  请输入验证码 */
inline constexpr const char* ACCESS_PASSWORD_CAPTION = " \xC7\xEB\xCA\xE4\xC8\xEB\xB7\xC3\xCE\xCA\xC3\xDC\xC2\xEB"; /*  请输入访问密码 */
inline constexpr const char* OK = "\xC8\xB7\xB6\xA8"; /* 确定 */
inline constexpr const char* CANCEL = "\xC8\xA1\xCF\xFB"; /* 取消 */
inline constexpr const char* MESSAGE_YES = "\xCA\xC7(&Y)"; /* 是(&Y) */
inline constexpr const char* MESSAGE_NO = "\xB7\xF1(&N)"; /* 否(&N) */

}  // namespace corvane::ui_text
