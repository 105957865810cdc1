// link: the short download address of a file, as the desktop client's copy-address
// command makes it.
#include "cli/cli.h"
#include "service/shortener.h"
#include "text/gbk_text.h"

namespace corvane::cli {

int command_link(Context& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  Place place;
  std::string name;
  if (!parse_command_args(args, {}, a) || a.positional.size() != 2 ||
      !parse_place(a.positional[0], place))
    return usage_error("link");
  if (!gbk_of_argument(a.positional[1], name))
    return fail(ctx, EXIT_USAGE, "corvane-cli: the name has characters without a GBK form");
  if (int s = ensure_login(ctx)) return s;
  std::vector<ListingRow> rows;
  if (int s = read_place(ctx, place, rows)) return s;
  const ListingRow* row = find_row(rows, name, true);
  if (!row)
    return fail(ctx, EXIT_REFUSED, "corvane-cli: no file " + a.positional[1] + " in " + a.positional[0]);
  std::string short_address = shorten_address(row->address);
  if (short_address.empty()) return fail_operation(ctx, "corvane-cli: the shortener gave no address");
  // The shortener's answer is JSON, which may escape its slashes; a terminal wants the
  // address itself.
  short_address = replace_all(short_address, "\\/", "/");
  return succeed(ctx, short_address, {{"address", to_terminal(row->address)}, {"file", a.positional[1]}});
}

}  // namespace corvane::cli
