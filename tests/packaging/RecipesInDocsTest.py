#!/usr/bin/env python3
"""The recipes for many machines as the guides show them: docs/batch.md holds
each shipped file of packaging/batch whole, so the two cannot drift; and
every list the recipes, the README and the manual page make takes every
letter case of every extension quorvel-audit audits (core/io/ImageFiles.h).

    RecipesInDocsTest.py SOURCE_DIR"""

import os
import re
import sys
import unittest

SOURCE = ""
RECIPES = ["quorvel-audit.sbatch", "quorvel-audit-job.yaml"]


def read(*parts):
    with open(os.path.join(SOURCE, *parts), encoding="utf-8") as f:
        return f.read()


def audited_extensions():
    header = read("src", "core", "io", "ImageFiles.h")
    listed = re.search(r"kImageExtensions = \{([^}]*)\}", header).group(1)
    return re.findall(r'"(\w+)"', listed)


def find_commands(text):
    """Each `find` command of a text, its continued lines joined."""
    joined = re.sub(r"\\\n\s*", " ", text)
    return [line for line in joined.splitlines() if re.search(r"\bfind ", line)]


class RecipesInDocs(unittest.TestCase):
    def test_batch_guide_shows_each_shipped_recipe_whole(self):
        guide = read("docs", "batch.md")
        for name in RECIPES:
            with self.subTest(name):
                shipped = read("packaging", "batch", name)
                self.assertIn("\n" + shipped + "```\n", guide,
                              f"docs/batch.md shows {name} as shipped, in a fenced block")

    def test_every_list_takes_every_extension_in_any_case(self):
        extensions = audited_extensions()
        self.assertGreaterEqual(len(extensions), 4)
        sources = {name: read("packaging", "batch", name) for name in RECIPES}
        sources["README.md"] = read("README.md")
        sources["docs/batch.md"] = read("docs", "batch.md")
        manual = read("packaging", "quorvel-audit.sections.1")
        sources["the manual page"] = manual.replace("\\-", "-").replace("\\\\", "\\")
        for name, text in sources.items():
            commands = find_commands(text)
            self.assertTrue(commands, f"{name} makes a list with find")
            for command in commands:
                with self.subTest(name=name, command=command):
                    self.assertNotIn("-name ", command, "a case-sensitive name test")
                    for extension in extensions:
                        self.assertIn(f"-iname '*.{extension}'", command)


if __name__ == "__main__":
    SOURCE = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
