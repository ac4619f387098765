"""scripts/pack-profile PACK: writes a trace pack's piglit profile,
PACK/vorn-replay.xml.gz, for where the pack and this checkout are now: one
test per trace, each running this checkout's scripts/judge-trace on the
pack by absolute paths (piglit takes no other). A pack written by a
--traces run has its profile already; a copied pack needs it written again
in its new place. A folder that is no pack, or a profile that would be
written outside the pack (one that is a link out of it), is a usage
error."""

import os
import sys

from .. import options as opts
from ..backends import profile
from ..sources.pack import PackError, load
from .usage import pack_profile as arguments
from ..scratch import scratch


def main(argv):
    try:
        pack = load(os.path.abspath(arguments(argv).pack))
        # A profile that is a link out of the pack is not written through.
        print(profile.write_pack(pack))
    except (PackError, opts.UsageError) as error:
        print("scripts/pack-profile: error: %s" % error, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    with scratch("vorn-pack-profile-"):
        sys.exit(main(sys.argv[1:]))
