// deleted, restore and register: the service's back end and registration forms on its
// main host, each with its own captcha.
#include "cli/cli.h"
#include "service/backend.h"
#include "service/registration.h"

namespace corvane::cli {

namespace {

constexpr const char* CANCELLED_LOGIN = "\xB7\xC5\xC6\xFA\xB5\xC7\xC2\xBC"; /* 放弃登录 */
constexpr const char* CANCELLED_REGISTRATION = "\xB7\xC5\xC6\xFA\xD7\xA2\xB2\xE1"; /* 放弃注册 */

// Logs into the back end through the deleted-files listing, as the desktop client does
// before it offers the restore button. EXIT_OK, or the status to end with.
int read_deleted(Context& ctx, TextList& names, TextList& sizes, TextList& deleted,
                 std::string& notice) {
  notice = ctx.client->list_deleted_files(names, sizes, deleted);
  if (!ctx.client->backend_logged_in.get()) return fail(ctx, EXIT_REFUSED, to_terminal(CANCELLED_LOGIN));
  if (notice.empty() && names.empty())
    return fail(ctx, failure_status(ctx), "corvane-cli: the deleted-files page gave no answer");
  return EXIT_OK;
}

}  // namespace

int command_deleted(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("deleted");
  int status = EXIT_OK;
  if (!require_owner(ctx, "deleted", status)) return status;
  if (int s = ensure_login(ctx)) return s;
  TextList names, sizes, deleted;
  std::string notice;
  if (int s = read_deleted(ctx, names, sizes, deleted, notice)) return s;
  Json document = Json::array();
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < sizes.size() && i < deleted.size(); ++i) {
    document.push_back({{"name", to_terminal(names[i])},
                        {"size", to_terminal(sizes[i])},
                        {"deleted", to_terminal(deleted[i])}});
    text += to_terminal(deleted[i]) + "\t" + to_terminal(sizes[i]) + "\t" + to_terminal(names[i]) + "\n";
  }
  text += to_terminal(notice);
  emit(ctx, document, text);
  return EXIT_OK;
}

int command_restore(Context& ctx, const std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("restore");
  int status = EXIT_OK;
  if (!require_owner(ctx, "restore", status)) return status;
  if (int s = ensure_login(ctx)) return s;
  TextList names, sizes, deleted;
  std::string notice;
  if (int s = read_deleted(ctx, names, sizes, deleted, notice)) return s;
  const std::string result = ctx.client->restore_deleted_files();
  if (result.empty()) return fail_operation(ctx, "corvane-cli: the restore gave no answer");
  Json files = Json::array();
  if (result != NOTHING_DELETED)
    for (const auto& n : names) files.push_back(to_terminal(n));
  return succeed(ctx, result, {{"files", files}});
}

int command_register(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  if (!parse_command_args(args, {}, a) || a.positional.size() != 3) return usage_error("register");
  std::string account, password, email;
  if (!gbk_of_argument(a.positional[0], account) || !gbk_of_argument(a.positional[1], password) ||
      !gbk_of_argument(a.positional[2], email))
    return fail(ctx, EXIT_USAGE, "corvane-cli: an argument has characters without a GBK form");
  // A new space needs no login: the desktop client registers through a client of its own
  // that never logs in.
  const std::string result = ctx.client->register_space(account, password, email);
  if (result.empty()) return fail(ctx, EXIT_REFUSED, to_terminal(CANCELLED_REGISTRATION));
  if (result == REGISTRATION_NO_ANSWER) return fail(ctx, EXIT_NETWORK, to_terminal(result));
  if (result != registration_success_text(account, password))
    return fail(ctx, EXIT_REFUSED, to_terminal(result));
  return succeed(ctx, result, {{"account", a.positional[0]}});
}

}  // namespace corvane::cli
