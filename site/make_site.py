#!/usr/bin/env python3
"""Puts the browser build's site together, names its service worker after the
build, and zips it.

    make_site.py --site DIR [--zip ZIP] --worker SERVICE_WORKER_JS FILE[=NAME]...
    make_site.py --stamp DIR --worker SERVICE_WORKER_JS

Each FILE is copied into DIR as NAME (default: its own name); DIR is emptied
first, so nothing of an older build stays.  The service worker is written
last, as DIR/service_worker.js, with the list of the site's files and a hash
of their names and bytes: any change to the site makes a new worker and a new
cache.  --stamp only writes the worker, for a site changed in place (tests).
ZIP holds the site in one folder named after the zip.
"""

import argparse
import hashlib
import os
import shutil
import sys
import zipfile

WORKER = "service_worker.js"


def site_files(site):
    found = []
    for folder, _, names in os.walk(site):
        for name in names:
            path = os.path.relpath(os.path.join(folder, name), site).replace(os.sep, "/")
            if path != WORKER:
                found.append(path)
    return sorted(found)


def stamp(site, template):
    files = site_files(site)
    with open(template, encoding="utf-8") as f:
        text = f.read()
    digest = hashlib.sha256(text.encode())  # the worker's own code is part of the build
    for path in files:
        with open(os.path.join(site, path), "rb") as f:
            data = f.read()
        digest.update(b"%s\0%d\0" % (path.encode(), len(data)) + data)
    if "'@BUILD@'" not in text or "['@FILES@']" not in text:
        raise ValueError("%s has no '@BUILD@' or ['@FILES@'] to fill in" % template)
    text = text.replace("'@BUILD@'", "'%s'" % digest.hexdigest()[:16])
    text = text.replace("['@FILES@']", "[\n  " + ",\n  ".join("'%s'" % p for p in files) + ",\n]")
    with open(os.path.join(site, WORKER), "w", encoding="utf-8") as f:
        f.write(text)


def make_zip(site, path):
    top = os.path.splitext(os.path.basename(path))[0]
    temporary = path + ".part"
    # Fixed times and order: the same site makes the same zip.
    with zipfile.ZipFile(temporary, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name in site_files(site) + [WORKER]:
            info = zipfile.ZipInfo(top + "/" + name, date_time=(2020, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(os.path.join(site, name), "rb") as f:
                z.writestr(info, f.read())
    os.replace(temporary, path)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site")
    parser.add_argument("--stamp", metavar="DIR")
    parser.add_argument("--zip")
    parser.add_argument("--worker", required=True)
    parser.add_argument("files", nargs="*")
    args = parser.parse_args(argv)
    if bool(args.site) == bool(args.stamp) or (args.stamp and (args.files or args.zip)):
        parser.error("either --site DIR with files, or --stamp DIR alone")
    try:
        if args.stamp:
            stamp(args.stamp, args.worker)
            return 0
        if os.path.isdir(args.site):
            shutil.rmtree(args.site)
        for request in args.files:
            source, _, name = request.partition("=")
            target = os.path.join(args.site, name or os.path.basename(source))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(source, target)
        stamp(args.site, args.worker)
        if args.zip:
            make_zip(args.site, args.zip)
    except (OSError, ValueError) as e:
        print("make_site: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
