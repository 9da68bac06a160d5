"""The mutant finder of scripts/mutants on small pieces of C++: what it changes and what not."""
import importlib.machinery
import importlib.util
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "mutants")
loader = importlib.machinery.SourceFileLoader("mutants", SCRIPT)
module_description = importlib.util.spec_from_loader("mutants", loader)
mutants = importlib.util.module_from_spec(module_description)
loader.exec_module(mutants)


def mutated(code, kind):
    """Every mutant of one kind, as the whole mutated text."""
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as f:
        f.write(code)
    try:
        found = [m for m in mutants.find_mutants(f.name, "x.cpp") if m.kind == kind]
    finally:
        os.remove(f.name)
    return [code[:m.start] + m.replacement + code[m.end:] for m in found]


class FindMutants(unittest.TestCase):
    def test_comparisons_in_code_only(self):
        code = ('// a < b in a comment\n#include <vector>\nconst char* s = "x < y";\n'
                "std::vector<int> v;\nbool f(int a) { return a < 3; }\n")
        self.assertEqual(mutated(code, "comparison"),
                         [code.replace("a < 3", "a <= 3")])

    def test_dropped_operand_keeps_the_return(self):
        code = "bool f(bool a, bool b) {\n    return a && b;\n}\n"
        self.assertEqual(sorted(mutated(code, "operand-dropped")),
                         sorted([code.replace("a && b", "b"), code.replace("a && b", "a")]))

    def test_operands_inside_parentheses_of_a_chain(self):
        code = "bool f(int x, bool c) { return c || (x > 1 && x < 9); }\n"
        results = mutated(code, "operand-dropped")
        self.assertIn(code.replace("(x > 1 && x < 9)", "(x < 9)"), results)
        self.assertIn(code.replace("c || (x > 1 && x < 9)", "(x > 1 && x < 9)"), results)

    def test_constants_but_not_array_sizes(self):
        code = "void f() {\n    char buffer[32];\n    g(buffer, 0x7F);\n}\n"
        self.assertEqual(sorted(mutated(code, "constant")),
                         sorted([code.replace("0x7F", "0x80"), code.replace("0x7F", "0x7E")]))

    def test_call_statements_only(self):
        code = ("void f(Image& image) {\n    image.Decode();\n    int n = count(image);\n"
                "    if (n)\n        report(n);\n    return;\n}\n")
        self.assertEqual(sorted(mutated(code, "call-removed")),
                         sorted([code.replace("image.Decode();", "{}"),
                                 code.replace("report(n);", "{}")]))

    def test_negation_and_boolean_returns(self):
        code = "bool f(bool a) {\n    if (!a && a != true)\n        return true;\n    return false;\n}\n"
        self.assertEqual(mutated(code, "negation-dropped"), [code.replace("!a", "a")])
        self.assertEqual(len(mutated(code, "bool-return")), 2)


if __name__ == "__main__":
    sys.exit(unittest.main())
