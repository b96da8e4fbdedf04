#!/usr/bin/env python3
"""Checks the reports tessaly-crawl wrote: the JSON report against docs/report.schema.json,
the JUnit XML's structure as CI servers read it, and the sitemap's namespace and addresses.

Usage: check-reports.py SCHEMA REPORT.json JUNIT.xml SITEMAP.xml
Prints what is wrong and exits with 1, or exits with 0."""
import json
import sys
import xml.etree.ElementTree as ET

import jsonschema

SITEMAP = "{http://www.sitemaps.org/schemas/sitemap/0.9}"


def fail(message):
    print(message)
    sys.exit(1)


def main(schema_file, json_file, junit_file, sitemap_file):
    with open(schema_file, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    with open(json_file, encoding="utf-8") as f:
        report = json.load(f)
    errors = sorted(jsonschema.Draft202012Validator(schema).iter_errors(report), key=str)
    if errors:
        fail("the JSON report does not follow its schema:\n" + "\n".join(str(e.message) for e in errors[:5]))
    addresses = {a["address"]: a for a in report["addresses"]}
    if report["crawl"]["counts"]["All"] != len(addresses):
        fail("the count of All is not the number of addresses")
    broken = [a for a in report["addresses"] if a["broken"]]
    if report["crawl"]["brokenAddresses"] != len(broken):
        fail("brokenAddresses is not the number of broken addresses")
    for a in report["addresses"]:
        for link in a["links"]:
            if a["address"] not in addresses[link]["referers"]:
                fail(f"{link} does not name {a['address']} among its referers")

    comparison = report.get("comparison")
    if comparison is not None:
        listed = comparison["new"] + [e["address"] for k in ("newlyBroken", "fixed", "titleChanged")
                                      for e in comparison[k]]
        for address in listed:
            if address not in addresses:
                fail(f"the comparison names {address}, which the map does not hold")
        for address in comparison["gone"]:
            if address in addresses:
                fail(f"the comparison calls {address} gone, but the map holds it")
        for e in comparison["newlyBroken"]:
            if not addresses[e["address"]]["broken"]:
                fail(f"the comparison calls {e['address']} newly broken, but it is not broken")
        for e in comparison["fixed"]:
            if addresses[e["address"]]["broken"]:
                fail(f"the comparison calls {e['address']} fixed, but it is broken")

    suites = ET.parse(junit_file).getroot()
    if suites.tag != "testsuites":
        fail("the JUnit root is not testsuites")
    for suite in suites.findall("testsuite"):
        cases = suite.findall("testcase")
        failures = [c for c in cases if c.find("failure") is not None]
        if int(suite.get("tests")) != len(cases) or int(suite.get("failures")) != len(failures):
            fail("the JUnit suite's counts are not its cases")
        for case in cases:
            if not case.get("name") or not case.get("classname"):
                fail("a JUnit test case without name or classname")
            for failure in case.findall("failure"):
                if not failure.get("message"):
                    fail("a JUnit failure without message")
        names = {c.get("name") for c in cases}
        for a in broken:
            if a["address"] not in names:
                fail(f"the broken {a['address']} is no JUnit test case")

    urlset = ET.parse(sitemap_file).getroot()
    if urlset.tag != SITEMAP + "urlset":
        fail("the sitemap's root is not urlset in the sitemap namespace")
    locs = [u.findtext(SITEMAP + "loc") for u in urlset.findall(SITEMAP + "url")]
    pages = [a["address"] for a in report["addresses"]
             if a["internal"] and a["code"] == 200 and a["type"].lower().startswith("text/html")]
    if sorted(locs) != sorted(pages):
        fail(f"the sitemap lists {sorted(locs)}, not the pages {sorted(pages)}")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        fail(__doc__)
    main(*sys.argv[1:])
