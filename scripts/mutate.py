#!/usr/bin/env python3
"""Mutation run: how many deliberate faults in the product do the tests catch?

  scripts/mutate.py native --full              every mutant of the portable code
  scripts/mutate.py native --sample 10         10 per file, seeded (--seed)
  scripts/mutate.py win --sample 15            runtime/win/ and ui/win/ under Wine
  scripts/mutate.py native --only ui/drop_rules.cpp --full
  scripts/mutate.py --check                    the tool's own check (test.sh)

A mutant is one small change to one product source: a relational or equality
operator flipped (< <=, > >=, == !=), + for - and && for ||, an if's
condition negated, a returned true or false changed, a call statement
deleted, an integer literal one up or one down. Comments, string literals,
preprocessor lines and static_asserts are never touched, and neither are
constant definitions and data tables (anything outside a function body, and
constexpr or static declarations inside one): only a test restating them
could tell.

It works in a copy of the tree (build/mutate/<tree>/src) with a build of its
own: natively with the sanitizers on, as test.sh builds; for win/ code with
MinGW, running the Windows test programs under Wine (--e2e adds the
end-to-end test of the real exe). For each file it builds all of the file's
mutants at once, each behind a switch that the environment variable
BRISVALE_MUTANT turns on at run time (a mutant schema). The test programs
that link the file then run once with no mutant on: they must pass, and they
note which mutants they reach. Each mutant then runs only the programs that
reach it, directly, fastest first, stopping at the first failure; a mutant
no test reaches survives unrun. A mutant the schema cannot hold (one in a
constant expression, say) is built and run on its own. A mutant that does not
compile does not count; a failing link or test kills it; one that outlives
its time limit is counted as timed out, and caught.

Survivors that the tests cannot or need not kill are judged once in
scripts/mutants-judged.txt, keyed by file, change and line text; a run
reports only survivors not judged there (--judged lists the others too), and
a full run names entries no mutant matches any more. The score is
caught / (all - equivalent), caught being killed plus timed out.
"""

import argparse
import concurrent.futures
import dataclasses
import fcntl
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
JUDGED = os.path.join(ROOT, 'scripts', 'mutants-judged.txt')
SWITCH_ENV = 'BRISVALE_MUTANT'
SWITCH = 'brisvale_mutant_on'
DEFAULT_SEED = 26

# ---- Lexing ------------------------------------------------------------------

TOKEN = re.compile(r'''
    (?P<ws>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<str>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*"|(?:u8|u|U|L)?'(?:\\.|[^'\\\n])*')
  | (?P<num>(?:0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*(?:\.[\d']*)?(?:[eE][+-]?\d+)?|\.\d+(?:[eE][+-]?\d+)?)[uUlLfF]*)
  | (?P<id>[A-Za-z_]\w*)
  | (?P<op>::|->|\.\.\.|<<=|>>=|<<|>>|<=|>=|==|!=|&&|\|\||\+\+|--|[-+*/%&|^]=|[{}()\[\];,.?:~!+\-*/%&|^=<>])
''', re.S | re.X)
PREPROCESSOR = re.compile(r'[ \t]*#(?:[^\n\\]|\\.)*', re.S)
INTEGER = re.compile(r"^(0[xX][0-9a-fA-F']+|\d[\d']*)([uUlL]*)$")


@dataclasses.dataclass
class Tok:
    kind: str
    text: str
    start: int
    end: int
    line: int


def lex(source):
    toks, pos, line, at_line_start = [], 0, 1, True
    while pos < len(source):
        if at_line_start:
            m = PREPROCESSOR.match(source, pos)
            if m:
                line += source.count('\n', pos, m.end())
                pos = m.end()
                continue
        m = TOKEN.match(source, pos)
        if not m:
            raise SyntaxError(f'cannot read line {line}: {source[pos:pos + 20]!r}')
        kind, text = m.lastgroup, m.group()
        if kind not in ('ws', 'comment'):
            toks.append(Tok(kind, text, pos, m.end(), line))
        newlines = text.count('\n')
        at_line_start = (kind == 'ws' and newlines > 0) or (at_line_start and kind == 'ws')
        line += newlines
        pos = m.end()
    return toks


# ---- Finding the mutants -------------------------------------------------------

KEYWORDS_BEFORE_EXPR = {'return', 'case', 'throw', 'else', 'do', 'co_return', 'co_yield'}
NOT_OPERANDS = KEYWORDS_BEFORE_EXPR | {
    'if', 'while', 'for', 'switch', 'sizeof', 'new', 'delete', 'const', 'constexpr', 'static', 'auto', 'typename',
    'template', 'operator', 'goto', 'using', 'namespace', 'struct', 'class', 'enum', 'union'}
NOT_CALLS = NOT_OPERANDS | {'static_assert', 'break', 'continue', 'typedef', 'alignas', 'decltype'}
ASSIGN = {'=', '+=', '-=', '*=', '/=', '%=', '&=', '|=', '^=', '<<=', '>>='}
FLIPS = {'<': '<=', '<=': '<', '>': '>=', '>=': '>', '==': '!=', '!=': '==', '+': '-', '-': '+', '&&': '||',
         '||': '&&'}
KIND_OF = {'<': 'relational', '<=': 'relational', '>': 'relational', '>=': 'relational', '==': 'equality',
           '!=': 'equality', '+': 'arithmetic', '-': 'arithmetic', '&&': 'logical', '||': 'logical'}


@dataclasses.dataclass
class Mutant:
    file: str
    op: str           # the change, as a reader reads it: "relational < -> <="
    line: int
    line_text: str
    node: tuple       # (kind, first token, last token) of the schema node it belongs to
    edit: tuple       # ('token', index, text) | ('negate',) | ('delete',)
    schema: bool = True
    ordinal: int = 1
    id: int = 0
    status: str = ''  # killed, timeout, survived, nocompile
    by: str = ''      # the program that killed it
    seconds: float = 0.0

    @property
    def key(self):
        n = f' #{self.ordinal}' if self.ordinal > 1 else ''
        return f'{self.file}: {self.op}{n}\n  {self.line_text}'


class Analysis:
    """The mutants of one source file, found on its tokens."""

    def __init__(self, path, source):
        self.path, self.source = path, source
        self.t = lex(source)
        self.lines = source.split('\n')
        n = len(self.t)
        self.match = [-1] * n
        self.template = [False] * n
        self.code = [False] * n      # inside a function body or a constructor's initializers
        self.unsafe = [False] * n    # a constant expression: no run-time switch can sit there
        self.skip = [False] * n      # constant definitions, static_assert, case labels
        self.mutants = []
        self.bodies = []             # (first, end) token indexes of each function body
        self._match_brackets()
        self._find_templates()
        self._scope(0, n)
        self._statements_everywhere()
        self._tokens()
        seen = {}
        for m in sorted(self.mutants, key=lambda m: (m.line, m.node[1], m.op)):
            k = (m.op, m.line_text)
            seen[k] = seen.get(k, 0) + 1
            m.ordinal = seen[k]
        self.mutants.sort(key=lambda m: (m.line, m.node[1], m.op))

    # -- structure --

    def _match_brackets(self):
        stack = []
        for i, tok in enumerate(self.t):
            if tok.text in '([{' and tok.kind == 'op':
                stack.append(i)
            elif tok.text in ')]}' and tok.kind == 'op':
                if not stack:
                    raise SyntaxError(f'{self.path}:{tok.line}: unbalanced {tok.text}')
                j = stack.pop()
                self.match[i], self.match[j] = j, i
        if stack:
            raise SyntaxError(f'{self.path}: unbalanced brackets')

    def _find_templates(self):
        t = self.t
        stops = {';', '{', '}', '&&', '||', '?', '=', '==', '!=', 'return'}
        after = {'(', '::', '{', '>', ')', ',', ';', '&', '*', '&&', '...', '[', '>>'}
        for i, tok in enumerate(t):
            if tok.text != '<' or i == 0:
                continue
            prev = t[i - 1]
            if not (prev.kind == 'id' and prev.text not in NOT_OPERANDS - {'template'}):
                continue
            depth, j = 1, i + 1
            while j < len(t) and depth:
                x = t[j].text
                if x in stops:
                    break
                if x in '([' and self.match[j] > j:
                    j = self.match[j] + 1
                    continue
                if x == '<':
                    depth += 1
                elif x == '>':
                    depth -= 1
                elif x == '>>':
                    depth -= 2
                if depth <= 0:
                    break
                j += 1
            if depth == 0 and t[j].text == '>' and j + 1 < len(t) and (
                    t[j + 1].text in after or t[j + 1].kind == 'id') or prev.text == 'template' and depth == 0:
                self.template[i] = self.template[j] = True
                self.match[i], self.match[j] = j, i

    def _group_end(self, i):
        """Index after the group opened at i (bracket or template)."""
        return self.match[i] + 1 if self.match[i] > i else i + 1

    def _scope(self, start, end):
        """Namespace or class scope: finds function bodies; everything else is data."""
        t, i, decl = self.t, start, start
        while i < end:
            x = t[i].text
            if x == ';':
                decl = i + 1
            elif x in ('public', 'private', 'protected') and i + 1 < end and t[i + 1].text == ':':
                i += 1
                decl = i + 1
            elif x in '([' and t[i].kind == 'op' or self.template[i] and x == '<':
                i = self._group_end(i)
                continue
            elif x == '{':
                close = self.match[i]
                kind = self._classify(decl, i)
                if kind in ('namespace', 'class'):
                    self._scope(i + 1, close)
                elif kind == 'function':
                    self._function(decl, i)
                if kind in ('namespace', 'function'):
                    decl = close + 1
                i = close + 1
                continue
            i += 1

    def _classify(self, a, b):
        toks = [x.text for x in self.t[a:b]]
        if 'namespace' in toks or toks[:1] == ['extern']:
            return 'namespace'
        top, i = [], a
        while i < b:  # the declaration's top level: groups stand as one token
            top.append(i)
            i = self._group_end(i) if self.t[i].text in '([<' and self.match[i] > i else i + 1
        words = [self.t[k].text for k in top]
        if 'enum' in words or '=' in words:
            return 'data'
        parens = [k for k in top if self.t[k].text == '(' and not (k > a and self.t[k - 1].text in (
            'alignas', '__attribute__', '__declspec', 'decltype'))]
        if any(w in ('struct', 'class', 'union') for w in words) and not parens:
            return 'class'
        return 'function' if parens else 'data'

    def _function(self, decl, brace):
        t = self.t
        # A constructor's initializers are code too.
        i = decl
        while i < brace and t[i].text != '(':
            i = self._group_end(i) if self.template[i] else i + 1
        i = self._group_end(i)
        while i < brace and t[i].text != ':':
            i += 1
        for k in range(i, brace):
            self.code[k] = True
        for k in range(brace + 1, self.match[brace]):
            self.code[k] = True
        self.bodies.append((brace + 1, self.match[brace]))

    def _statements_everywhere(self):
        for s, e in self.bodies:
            self._block(s, e)

    # -- statements --

    def _block(self, i, end):
        while i < end:
            i = self._statement(i, end)

    def _skip_to_semicolon(self, i, end, mark=None):
        """Index after the statement's ';'; lambda bodies on the way are walked."""
        t = self.t
        while i < end and t[i].text != ';':
            if t[i].text == '{':
                if i > 0 and t[i - 1].text in (')', ']', 'mutable') and not mark:
                    self._block(i + 1, self.match[i])
                if mark:
                    for k in range(i, self.match[i] + 1):
                        mark[k] = True
                i = self.match[i] + 1
                continue
            if mark:
                mark[i] = True
            i = self._group_end(i) if t[i].text in '([' and t[i].kind == 'op' and not mark else i + 1
        if mark and i < end:
            mark[i] = True
        return i + 1

    def _statement(self, i, end):
        t = self.t
        x = t[i].text
        if x == ';':
            return i + 1
        if x == '{':
            self._block(i + 1, self.match[i])
            return self.match[i] + 1
        if x == 'if':
            j = i + 1
            constexpr = t[j].text == 'constexpr'
            if constexpr:
                for k in range(j, self.match[j + 1] + 1):
                    self.skip[k] = True
                j += 1
            cond = (j + 1, self.match[j] - 1)
            if not constexpr:
                self._negatable_if(cond)
            j = self._statement(self.match[j] + 1, end)
            if j < end and t[j].text == 'else':
                j = self._statement(j + 1, end)
            return j
        if x in ('while', 'switch', 'for'):
            return self._statement(self.match[i + 1] + 1, end)
        if x == 'do':
            j = self._statement(i + 1, end)
            return self._skip_to_semicolon(j, end)
        if x in ('case', 'default'):
            j = i
            while t[j].text != ':':
                if x == 'case':
                    self.skip[j] = True
                j += 1
            return j + 1
        if x in ('else', 'try'):
            return self._statement(i + 1, end)
        if x == 'catch':
            return self._statement(self.match[i + 1] + 1, end)
        if x in ('static_assert', 'constexpr', 'static', 'using', 'typedef', 'enum') or (
                x == 'inline' and t[i + 1].text == 'constexpr'):
            return self._skip_to_semicolon(i, end, self.skip)
        if x == 'return':
            j = i + 1
            if t[j].text in ('true', 'false') and t[j + 1].text == ';':
                self._add('return', j, j, ('token', j, 'false' if t[j].text == 'true' else 'true'),
                          f'return {t[j].text} -> {"false" if t[j].text == "true" else "true"}', kind='leaf')
            return self._skip_to_semicolon(i, end)
        semi = self._skip_to_semicolon(i, end) - 1
        self._call_statement(i, semi)
        self._declarator_bounds(i, semi)
        return semi + 1

    def _negatable_if(self, cond):
        a, b = cond
        k = a
        while k <= b:  # a declaration or an assignment in the condition cannot simply be negated
            if self.t[k].text in ASSIGN or self.t[k].text == ';':
                return
            k = self._group_end(k) if self.t[k].text in '([' and self.match[k] > k else k + 1
        self._add('negate', a, b, ('negate',), 'negate if', kind='range')

    def _call_statement(self, a, semi):
        t = self.t
        i = a + (t[a].text == '::')
        if t[i].kind != 'id' or t[i].text in NOT_CALLS:
            return
        i += 1
        while i < semi:
            x = t[i].text
            if x in ('::', '.', '->') and t[i + 1].kind == 'id':
                i += 2
            elif self.template[i]:
                i = self._group_end(i)
            else:
                break
        if i < semi and t[i].text == '(' and self.match[i] == semi - 1:
            self._add('delete', a, semi, ('delete',), 'delete call', kind='stmt')

    def _declarator_bounds(self, a, semi):
        """A local array's bound is a constant expression: its mutants are built alone."""
        t = self.t
        for i in range(a + 1, semi):
            if t[i].text == '[' and t[i - 1].kind == 'id' and i >= 2 and (
                    t[i - 2].kind == 'id' and t[i - 2].text not in NOT_OPERANDS or t[i - 2].text in ('*', '&')):
                for k in range(i, self.match[i]):
                    self.unsafe[k] = True

    # -- tokens --

    def _operand_before(self, i):
        p = self.t[i - 1]
        return (p.kind in ('id', 'num', 'str') and p.text not in NOT_OPERANDS) or p.text in (')', ']') or (
            self.template[i - 1] and p.text == '>')

    def _expression(self, i):
        """The tokens of the smallest delimited expression around operator i."""
        t = self.t
        a = i - 1
        while True:
            x = t[a].text
            if x in (')', ']') or self.template[a] and x == '>':
                a = self.match[a] - 1
                continue
            if x in ('(', '[', '{', '}', ',', ';', '?', ':') or x in ASSIGN or self.template[a] or (
                    t[a].kind == 'id' and x in KEYWORDS_BEFORE_EXPR) or not self.code[a]:
                break
            a -= 1
        b = i + 1
        while True:
            x = t[b].text
            if x in ('(', '[', '{') or self.template[b] and x == '<':
                b = self.match[b] + 1
                continue
            if x in (')', ']', '}', ',', ';', '?', ':') or x in ASSIGN or self.template[b] or not self.code[b]:
                break
            b += 1
        return a + 1, b - 1

    def _tokens(self):
        t = self.t
        for i, tok in enumerate(t):
            if not self.code[i] or self.skip[i]:
                continue
            x = tok.text
            if tok.kind == 'op' and x in FLIPS and not self.template[i] and self._operand_before(i):
                a, b = self._expression(i)
                self._add(KIND_OF[x], a, b, ('token', i, FLIPS[x]), f'{KIND_OF[x]} {x} -> {FLIPS[x]}', kind='range')
            elif tok.kind == 'num':
                m = INTEGER.match(x)
                if not m:
                    continue
                digits, suffix = m.group(1).replace("'", ''), m.group(2)
                hexa = digits[:2].lower() == '0x'
                value = int(digits, 16 if hexa else 10)
                for v in (value + 1, value - 1):
                    if v < 0 and (hexa or 'u' in suffix.lower()):
                        continue
                    text = (hex(v) if hexa else str(v)) + suffix
                    self._add('literal', i, i, ('token', i, text), f'literal {x} -> {text}', kind='leaf')

    def _add(self, kind_name, a, b, edit, op, kind):
        if not all(self.code[k] for k in (a, b)) or any(self.skip[k] for k in range(a, b + 1)):
            return
        line = self.t[edit[1]].line if edit[0] == 'token' else self.t[a].line
        # A literal inside template arguments is a constant expression too.
        schema = not (any(self.unsafe[k] for k in range(a, b + 1)) or
                      edit[0] == 'token' and self._in_template_args(edit[1]))
        self.mutants.append(Mutant(self.path, op, line, self.lines[line - 1].strip(), (kind, a, b), edit, schema))

    def _in_template_args(self, i):
        for k in range(i - 1, -1, -1):
            if self.template[k] and self.t[k].text == '<' and self.match[k] > i:
                return True
            if self.t[k].text in (';', '{', '}'):
                return False
        return False


def analyse(path, source):
    return Analysis(path, source)


# ---- Rendering -----------------------------------------------------------------------


class Renderer:
    """Writes a file with a set of mutants: behind run-time switches (a schema) or one alone."""

    def __init__(self, analysis):
        self.a = analysis

    def _nodes(self, mutants):
        nodes = {}
        for m in mutants:
            nodes.setdefault(m.node, []).append(m)
        spans = []
        for (kind, a, b), ms in nodes.items():
            spans.append((self.a.t[a].start, self.a.t[b].end, kind, a, b, ms))
        spans.sort(key=lambda s: (s[0], -s[1], {'stmt': 0, 'range': 1, 'leaf': 2}[s[2]]))
        return spans

    def render(self, mutants, schema=True):
        src = self.a.source
        spans = self._nodes(mutants)
        # Nodes nest (a delimited expression never crosses brackets); build the tree.
        root = {'start': 0, 'end': len(src), 'children': []}
        stack = [root]
        for s, e, kind, a, b, ms in spans:
            node = {'start': s, 'end': e, 'kind': kind, 'mutants': ms, 'children': []}
            while not (stack[-1]['start'] <= s and e <= stack[-1]['end']):
                stack.pop()
            stack[-1]['children'].append(node)
            stack.append(node)
        body = self._inner(root, None, schema)
        if not schema:
            return body
        return f'#include "{SWITCH_HEADER}"\n#line 1\n' + body

    def _inner(self, node, replace, schema):
        out, pos = [], node['start']
        for c in node['children']:
            if replace and pos <= replace[0] < c['start']:
                out.append(self.a.source[pos:replace[0]] + replace[2])
                pos = replace[1]
            out.append(self.a.source[pos:c['start']])
            out.append(self._node(c, schema))
            pos = c['end']
        if replace and pos <= replace[0] < node['end']:
            out.append(self.a.source[pos:replace[0]] + replace[2])
            pos = replace[1]
        out.append(self.a.source[pos:node['end']])
        return ''.join(out)

    def _variant(self, node, m, schema):
        if m.edit[0] == 'token':
            tok = self.a.t[m.edit[1]]
            return self._inner(node, (tok.start, tok.end, m.edit[2]), schema)
        if m.edit[0] == 'negate':
            return '!(' + self._inner(node, None, schema) + ')'
        return ''

    def _node(self, node, schema):
        ms = node['mutants']
        original = self._inner(node, None, schema)
        if not schema:
            m = ms[0]
            if node['kind'] == 'stmt':
                return ';'
            return self._variant(node, m, schema)
        if node['kind'] == 'stmt':
            return f'{{ if (!{SWITCH}({ms[0].id})) {original} }}'
        wrap = (lambda s: s) if node['kind'] == 'leaf' else (lambda s: f'({s})')
        if any(m.edit[0] == 'negate' for m in ms):
            # An if's condition may be a pointer, which cannot share a ?: with the negated bool.
            wrap = lambda s: s if s.startswith('!(') else f'!!({s})'
        out = '('
        for m in ms:
            out += f'{SWITCH}({m.id}) ? {wrap(self._variant(node, m, schema))} : '
        return out + wrap(original) + ')'


SWITCH_HEADER = ''  # set per copy

TRACE_ENV = 'BRISVALE_MUTANT_TRACE'
SWITCH_SOURCE = f'''// Written by scripts/mutate.py into its copy of the tree: which mutant is on.
// With {TRACE_ENV} set to a folder, each process also notes there, once per
// mutant, which mutated places it reached: only programs that reach a
// mutant can catch it. The switch sits in front of the code it guards, so it
// leaves errno and the thread's last error as it found them.
#pragma once
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <process.h>
extern "C" __declspec(dllimport) unsigned long __stdcall GetLastError();
extern "C" __declspec(dllimport) void __stdcall SetLastError(unsigned long);
#define BRISVALE_MUTANT_PID _getpid()
#else
#include <unistd.h>
#define BRISVALE_MUTANT_PID getpid()
#endif
inline bool {SWITCH}(int id) {{
  const int saved_errno = errno;
#ifdef _WIN32
  const unsigned long saved_error = GetLastError();
#endif
  static const int on = [] {{
    const char* s = std::getenv("{SWITCH_ENV}");
    return s ? std::atoi(s) : 0;
  }}();
  static const char* const trace = std::getenv("{TRACE_ENV}");
  static bool seen[1 << 16];
  if (trace && id > 0 && id < (1 << 16) && !seen[id]) {{
    seen[id] = true;
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%d", trace, static_cast<int>(BRISVALE_MUTANT_PID));
    if (std::FILE* f = std::fopen(path, "a")) {{
      std::fprintf(f, "%d\\n", id);
      std::fclose(f);
    }}
  }}
#ifdef _WIN32
  SetLastError(saved_error);
#endif
  errno = saved_errno;
  return on == id;
}}
'''

# ---- Judged survivors --------------------------------------------------------------


def read_judged(path=JUDGED):
    """{key: (verdict, reason)} from the judged list: entries of three lines, blank lines between."""
    judged = {}
    if not os.path.exists(path):
        return judged
    entry = []
    with open(path, encoding='utf-8') as f:
        lines = [l.rstrip('\n') for l in f if not l.startswith('#')] + ['']
    for line in lines:
        if line.strip():
            entry.append(line)
            continue
        if not entry:
            continue
        if len(entry) < 3 or not re.match(r'\s+(equivalent|accepted \((speed|memory|unreachable|constant)\)):',
                                           entry[2]):
            raise SystemExit(f'{path}: cannot read the entry\n' + '\n'.join(entry))
        key = entry[0] + '\n  ' + entry[1].strip()
        verdict, _, reason = entry[2].strip().partition(':')
        judged[key] = (verdict, ' '.join([reason.strip()] + [l.strip() for l in entry[3:]]))
        entry = []
    return judged


# ---- The copy and its build ----------------------------------------------------------


def run(cmd, **kw):
    return subprocess.run(cmd, text=True, capture_output=True, **kw)


class Tree:
    """A copy of the work tree with a build of its own."""

    def __init__(self, kind, work, jobs):
        self.kind, self.jobs = kind, jobs
        self.base = os.path.join(work, kind)
        self.src = os.path.join(self.base, 'src')
        self.build = os.path.join(self.base, 'build')
        self.native = kind == 'native'

    def lock(self):
        """One run at a time in a copy: another run would write over the files this one mutates."""
        os.makedirs(self.base, exist_ok=True)
        self._lock = open(os.path.join(self.base, '.lock'), 'w')
        try:
            fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            raise SystemExit(f'another mutation run is using {self.base}; wait for it or give --work')

    def sync(self):
        """Makes the copy's sources those of the work tree, tracked and new files alike: changed files are
        copied (stamped now, so that the build sees them), files gone from the work tree go from the copy."""
        files = run(['git', 'ls-files', '-co', '--exclude-standard'], cwd=ROOT, check=True).stdout.split('\n')
        wanted = {rel for rel in files if rel and os.path.isfile(os.path.join(ROOT, rel))}
        for rel in wanted:
            s, d = os.path.join(ROOT, rel), os.path.join(self.src, rel)
            if os.path.exists(d):
                with open(s, 'rb') as a, open(d, 'rb') as b:
                    if a.read() == b.read():
                        continue
            os.makedirs(os.path.dirname(d), exist_ok=True)
            shutil.copy(s, d)
        for dirpath, _, names in os.walk(self.src):
            for n in names:
                rel = os.path.relpath(os.path.join(dirpath, n), self.src)
                if rel not in wanted:
                    os.remove(os.path.join(dirpath, n))
        global SWITCH_HEADER
        SWITCH_HEADER = os.path.join(self.base, 'mutant_switch.h')
        if not os.path.exists(SWITCH_HEADER) or open(SWITCH_HEADER).read() != SWITCH_SOURCE:
            with open(SWITCH_HEADER, 'w') as f:
                f.write(SWITCH_SOURCE)

    def configure(self):
        args = ['cmake', '-S', self.src, '-B', self.build, '-G', 'Ninja', '-DCMAKE_EXPORT_COMPILE_COMMANDS=ON',
                '-DCMAKE_BUILD_TYPE=Debug', '-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g0 -Werror=vla']
        if self.native:
            args += ['-DBRISVALE_SANITIZE=ON']
        else:
            args += [f'-DCMAKE_TOOLCHAIN_FILE={self.src}/cmake/mingw-w64-x86_64.cmake', '-DBRISVALE_OTHER_LOCALES=']
        r = run(args)
        if r.returncode:
            raise SystemExit('configuring the copy failed:\n' + r.stdout + r.stderr)

    def ninja(self, targets):
        return run(['ninja', '-C', self.build, f'-j{self.jobs}', *targets])

    # -- what links what --

    def objects(self):
        """{source path relative to the tree: object path} of every compiled file."""
        with open(os.path.join(self.build, 'compile_commands.json')) as f:
            entries = json.load(f)
        out = {}
        for e in entries:
            src = os.path.relpath(os.path.join(e['directory'], e['file']), self.src)
            found = e.get('output') or re.search(r' -o (\S+)', e['command'])
            if not found:
                continue  # a resource script: nothing in it is mutated
            obj = found if isinstance(found, str) else found.group(1)
            out.setdefault(src, []).append(os.path.join(e['directory'], obj))
        return out

    def nm(self):
        return 'nm' if self.native else 'x86_64-w64-mingw32-nm'

    def defined(self, path, strong_text_only):
        r = run([self.nm(), '--defined-only', path])
        out = set()
        for line in r.stdout.split('\n'):
            parts = line.split()
            if len(parts) == 3 and (parts[1] == 'T' or not strong_text_only and parts[1] in 'TDBR'):
                out.add(parts[2])
        return out

    def header_users(self):
        """{header relative to the tree: set of object paths that include it}"""
        r = run(['ninja', '-C', self.build, '-t', 'deps'])
        users, obj = {}, None
        for line in r.stdout.split('\n'):
            if line and not line.startswith(' '):
                obj = os.path.join(self.build, line.split(':')[0])
            elif line.strip() and obj:
                h = os.path.normpath(os.path.join(self.build, line.strip()))
                if h.startswith(self.src + os.sep):
                    users.setdefault(os.path.relpath(h, self.src), set()).add(obj)
        return users


# ---- Test programs --------------------------------------------------------------------


@dataclasses.dataclass
class Program:
    name: str         # ninja target
    exe: str
    command: list
    env: dict
    cwd: str
    seconds: float = 0.0


def programs_of(tree, e2e):
    """The test programs a run may use, with how ctest runs them."""
    if tree.native:
        out = []
        for name in sorted(os.listdir(os.path.join(tree.src, 'tests', 'native'))):
            if name.endswith('_test.cpp'):
                target = name[:-4]
                exe = os.path.join(tree.build, 'tests', target)
                env = {'ASAN_OPTIONS': 'detect_leaks=1:abort_on_error=0', 'UBSAN_OPTIONS': 'print_stacktrace=1'}
                out.append(Program(target, exe, [exe], env, tree.build))
        return out
    r = run(['ctest', '--test-dir', tree.build, '--show-only=json-v1'])
    tests = json.loads(r.stdout)['tests']
    out = []
    for test in tests:
        name = test['name']
        # The resources test reads the built exe's resources and the tree's
        # commit, which no mutant of code changes.
        if not (re.fullmatch(r'win\.\w+_test', name) or e2e and name == 'e2e.brisvale') or (
                name == 'win.exe_resources_test'):
            continue
        env, cwd = {}, tree.build
        for p in test.get('properties', []):
            if p['name'] == 'ENVIRONMENT':
                env.update(v.split('=', 1) for v in p['value'])
            if p['name'] == 'WORKING_DIRECTORY':
                cwd = p['value']
        target = name.split('.')[1] if name.startswith('win.') else 'Brisvale'
        exe = next((c for c in test['command'] if c.endswith('.exe')), None)
        if name == 'e2e.brisvale':
            exe = os.path.join(tree.build, 'bin', 'Brisvale.exe')
        out.append(Program(target if name.startswith('win.') else name, exe, test['command'], env, cwd))
    return out


def run_program(p, mutant_id, timeout, trace=None, log=None):
    env = dict(os.environ)
    env.update(p.env)
    env[SWITCH_ENV] = str(mutant_id)
    if trace:
        env[TRACE_ENV] = trace
    start = time.monotonic()
    out = open(log, 'w') if log else subprocess.DEVNULL
    try:
        proc = subprocess.Popen(p.command, cwd=p.cwd, env=env, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            rc = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            rc = None
    finally:
        if log:
            out.close()
    return rc, time.monotonic() - start


# ---- The run ----------------------------------------------------------------------------


def product_files(tree_kind, only):
    if only:
        return only
    out = []
    for folder in ('app', 'ui', 'runtime'):
        for dirpath, _, names in os.walk(os.path.join(ROOT, folder)):
            rel = os.path.relpath(dirpath, ROOT)
            parts = rel.split(os.sep)
            in_win = 'win' in parts
            if 'posix' in parts or in_win != (tree_kind == 'win'):
                continue
            if tree_kind == 'win' and parts[0] == 'app':
                continue  # the program's WinMain: reached by the end-to-end tests alone
            out += [os.path.join(rel, n) for n in sorted(names) if n.endswith(('.cpp', '.h'))]
    return sorted(out)


class Progress:
    def __init__(self, total):
        self.total, self.done, self.start = total, 0, time.monotonic()
        self.lock = threading.Lock()
        self.tty = sys.stderr.isatty()

    def step(self, what, n=1):
        with self.lock:
            self.done += n
            elapsed = time.monotonic() - self.start
            left = elapsed / self.done * (self.total - self.done) if self.done else 0
            line = (f'[{self.done}/{self.total}] {fmt(elapsed)} elapsed, about {fmt(left)} left  {what}')
            if self.tty:
                sys.stderr.write('\r\033[K' + line[:150])
            elif self.done % 25 == 0 or self.done == self.total:
                sys.stderr.write(line + '\n')
            sys.stderr.flush()

    def say(self, text):
        with self.lock:
            sys.stderr.write(('\r\033[K' if self.tty else '') + text + '\n')
            sys.stderr.flush()


def tail(path, lines=25):
    with open(path, errors='replace') as f:
        return ''.join(f.readlines()[-lines:])


def fmt(seconds):
    seconds = int(seconds)
    return f'{seconds // 3600}h{seconds // 60 % 60:02d}m' if seconds >= 3600 else f'{seconds // 60}m{seconds % 60:02d}s'


class Runner:
    def __init__(self, args):
        self.args = args
        self.tree = Tree(args.tree, args.work, args.jobs)
        self.timing = {'cpp': [0.0, 0], 'h': [0.0, 0]}
        self.reached = {}  # program -> ids of the mutants it reaches with none on

    def prepare(self):
        self.tree.lock()
        self.tree.sync()
        self.tree.configure()
        if not self.tree.native:
            self._wine_template()
        self.programs = programs_of(self.tree, self.args.e2e)
        if getattr(self.args, 'programs', None):
            self.programs = [p for p in self.programs if p.name in self.args.programs]
        targets = [p.name if not p.name.startswith('e2e.') else 'all' for p in self.programs]
        r = self.tree.ninja(sorted(set(targets)) + self._tools())
        if r.returncode:
            raise SystemExit('the unmutated copy does not build:\n' + r.stdout[-3000:])
        self.objects = self.tree.objects()
        self.headers = self.tree.header_users()
        exes = {p.exe: self.tree.defined(p.exe, False) for p in self.programs if p.exe and os.path.exists(p.exe)}
        # Helper programs the tests start: rebuilt with the mutant when they link it.
        tools = {t: self.tree.defined(os.path.join(self.tree.build, 'tools', t + '.exe'), False)
                 for t in self._tools()}
        self.links, self.tool_links = {}, {}  # object path -> test programs, helper programs that link it
        for objs in self.objects.values():
            for obj in objs:
                syms = self.tree.defined(obj, True)
                self.links[obj] = [p for p in self.programs if p.exe in exes and (not syms or syms & exes[p.exe])]
                self.tool_links[obj] = [t for t, d in tools.items() if syms & d]

    def _tools(self):
        if self.tree.native:
            return []
        tools = os.path.join(self.tree.src, 'tests', 'win', 'tools')
        return sorted(n[:-4] for n in os.listdir(tools) if n.endswith('.cpp'))

    def _wine_template(self):
        t = os.path.join(self.tree.base, 'wine-template')
        os.environ['BRISVALE_WINE_TEMPLATE'] = t
        if not os.path.exists(os.path.join(t, '.ready')):
            r = run(['bash', '-c', f'. {ROOT}/scripts/wine-lib.sh && wine_ensure_display --private && '
                     'wine_template >/dev/null; s=$?; wine_stop_display; exit $s'])
            if r.returncode:
                raise SystemExit('no Wine template prefix:\n' + r.stderr)

    def covering(self, rel):
        objs = self.objects.get(rel)
        if objs is None:
            objs = sorted(self.headers.get(rel, ()))
        progs = {}
        for o in objs:
            for p in self.links.get(o, []):
                progs[p.name] = p
        return list(progs.values())

    # -- per file --

    def mutate_file(self, rel, mutants, progress):
        path = os.path.join(self.tree.src, rel)
        with open(path, encoding='utf-8') as f:
            original = f.read()
        analysis = analyse(rel, original)
        progs = self.covering(rel)
        if not progs:
            progress.say(f'{rel}: no test program links it; its {len(mutants)} mutants survive unrun')
            for m in mutants:
                m.status = 'survived'
            progress.step(rel, len(mutants))
            return
        targets = sorted({p.name if not p.name.startswith('e2e.') else 'Brisvale' for p in progs})
        progress.say(f'{rel}: {len(mutants)} mutants; {", ".join(p.name for p in progs)}'
                     + (f'; rebuilt helpers {", ".join(self._tools_linking(rel))}' if self._tools_linking(rel) else ''))
        renderer = Renderer(analysis)
        kind = 'h' if rel.endswith('.h') else 'cpp'
        try:
            schema = [m for m in mutants if m.schema]
            while schema:
                started = time.monotonic()
                self._write(path, renderer.render(schema))
                r = self.tree.ninja(targets + self._tools_linking(rel))
                self.timing[kind][0] += time.monotonic() - started
                if r.returncode == 0:
                    break
                bad = self._failed_nodes(r.stdout, path, schema, analysis)
                if not bad:
                    bad = {m.node for m in schema}
                for m in schema:
                    if m.node in bad:
                        m.schema = False
                schema = [m for m in mutants if m.schema]
            if schema and not self._baseline(rel, progs, progress):
                progress.say(f'{rel}: its tests fail with no mutant on; its mutants are not counted')
                for m in schema:
                    m.status = 'skipped'
                progress.step(rel, len(schema))
                schema = []
            if schema:
                self._run_all(schema, progs, progress, kind)
            for m in (m for m in mutants if not m.schema):
                started = time.monotonic()
                self._write(path, renderer.render([m], schema=False))
                r = self.tree.ninja(targets + self._tools_linking(rel))
                self.timing[kind][0] += time.monotonic() - started
                if r.returncode:
                    m.status = 'nocompile' if 'error:' in r.stdout or 'Error' in r.stdout else 'killed'
                    m.by = 'build'
                    progress.step(rel)
                    continue
                self._run_all([m], progs, progress, kind, single=True)
        finally:
            self._write(path, original)

    def _tools_linking(self, rel):
        objs = self.objects.get(rel) or sorted(self.headers.get(rel, ()))
        return sorted({t for o in objs for t in self.tool_links.get(o, [])})

    def _write(self, path, text):
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)

    def _failed_nodes(self, output, path, schema, analysis):
        lines = set()
        for line in output.split('\n'):
            if ': warning:' in line:
                continue
            for m in re.finditer(re.escape(path) + r':(\d+):', line):
                lines.add(int(m.group(1)))
        bad = set()
        for ln in lines:
            hit = [m.node for m in schema
                   if analysis.t[m.node[1]].line <= ln <= analysis.t[m.node[2]].line]
            # The innermost nodes on the line: an outer one goes only when nothing inside it is there.
            for n in hit:
                if not any(o != n and n[1] <= o[1] and o[2] <= n[2] for o in hit):
                    bad.add(n)
        return bad

    def _baseline(self, rel, progs, progress):
        """Runs the programs with no mutant on, side by side: they must pass. Notes which mutants each reaches."""
        with concurrent.futures.ThreadPoolExecutor(self.args.jobs) as pool:
            passed = all(pool.map(lambda p: self._baseline_one(rel, p, progress), progs))
        progs.sort(key=lambda p: p.seconds)
        return passed

    def _baseline_one(self, rel, p, progress):
        folder = os.path.join(self.tree.base, 'trace', p.name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        trace = folder if self.tree.native else 'Z:' + folder.replace('/', '\\')
        log = os.path.join(self.tree.base, 'trace', p.name + '.log')
        # One more try before giving up on the file: a machine under load can fail a test once.
        for attempt in (1, 2):
            rc, p.seconds = run_program(p, 0, self._limit(p, first=True), trace, log)
            if rc == 0:
                break
            progress.say(f'{p.name} failed with no mutant on ({rel}, exit {rc}, try {attempt}); its output:\n'
                         + tail(log))
        reached = set()
        for name in os.listdir(folder):
            with open(os.path.join(folder, name)) as f:
                reached.update(int(x) for x in f.read().split())
        self.reached[p.name] = reached
        return rc == 0

    def _limit(self, p, first=False):
        if first:
            return 900
        return (3 * p.seconds + 30) if not self.tree.native else (5 * p.seconds + 5)

    def _run_all(self, mutants, progs, progress, kind, single=False):
        def one(m):
            started = time.monotonic()
            m.status = 'survived'
            # A mutant in the schema runs only where it is reached; one built alone everywhere.
            reaching = progs if single else [p for p in progs if m.id in self.reached.get(p.name, ())]
            if not reaching:
                m.by = 'reached by no test'
            for p in reaching:
                rc, _ = run_program(p, m.id, self._limit(p) if p.seconds else 900)
                if rc is None:
                    m.status, m.by = 'timeout', p.name
                    break
                if rc != 0:
                    m.status, m.by = 'killed', p.name
                    break
            m.seconds = time.monotonic() - started
            progress.step(f'{m.file}:{m.line}')
            return m

        started = time.monotonic()
        if single or self.args.jobs == 1:
            for m in mutants:
                one(m)
        else:
            with concurrent.futures.ThreadPoolExecutor(self.args.jobs) as pool:
                list(pool.map(one, mutants))
        self.timing[kind][0] += time.monotonic() - started
        self.timing[kind][1] += len(mutants)


def choose(all_mutants, args):
    """The mutants of the run: all, or a seeded sample per file."""
    by_file = {}
    for m in all_mutants:
        by_file.setdefault(m.file, []).append(m)
    chosen = []
    for f, ms in sorted(by_file.items()):
        if args.sample:
            rng = random.Random(f'{args.seed}:{f}')
            ms = ms[:]
            rng.shuffle(ms)
            ms = sorted(ms[:args.sample], key=lambda m: (m.line, m.node[1]))
        chosen += ms
    for i, m in enumerate(chosen, 1):
        m.id = i
    return chosen


def report(mutants, judged, timing, args, seconds):
    rows, survivors = {}, []
    for m in mutants:
        if m.status in ('nocompile', 'skipped'):
            continue
        r = rows.setdefault(m.file, dict(all=0, killed=0, timeout=0, survived=0, equivalent=0, accepted=0))
        r['all'] += 1
        if m.status == 'survived':
            verdict = judged.get(m.key, (None,))[0]
            if verdict == 'equivalent':
                r['equivalent'] += 1
            elif verdict:
                r['accepted'] += 1
            else:
                r['survived'] += 1
                survivors.append(m)
        else:
            r[m.status] += 1
    total = dict(all=0, killed=0, timeout=0, survived=0, equivalent=0, accepted=0)
    print(f'{"file":42} {"all":>5} {"killed":>6} {"timeout":>7} {"survived":>8} {"equiv":>5} {"accepted":>8} {"score":>6}')
    for f in sorted(rows):
        r = rows[f]
        for k in total:
            total[k] += r[k]
        print(f'{f:42} {r["all"]:5} {r["killed"]:6} {r["timeout"]:7} {r["survived"]:8} {r["equivalent"]:5} '
              f'{r["accepted"]:8} {score(r):>6}')
    print(f'{"all files":42} {total["all"]:5} {total["killed"]:6} {total["timeout"]:7} {total["survived"]:8} '
          f'{total["equivalent"]:5} {total["accepted"]:8} {score(total):>6}')
    nocompile = sum(1 for m in mutants if m.status == 'nocompile')
    skipped = sum(1 for m in mutants if m.status == 'skipped')
    print(f'\n{nocompile} more did not compile and do not count.')
    if skipped:
        print(f'{skipped} more were not run: the tests of their file failed with no mutant on (see above).')
    reasons = {}
    keys = {m.key for m in mutants if m.status == 'survived'}
    for k, (v, _) in judged.items():
        if k in keys and v != 'equivalent':
            reasons[v] = reasons.get(v, 0) + 1
    if reasons:
        print('Accepted by reason: ' + ', '.join(f'{v.split("(")[1][:-1]} {n}' for v, n in sorted(reasons.items())))
    for kind, name in (('cpp', '.cpp'), ('h', 'header')):
        secs, n = timing[kind]
        if n:
            print(f'{name} mutants: {n} in {fmt(secs)} ({secs / n:.1f} s each, builds included)')
    print(f'The run took {fmt(seconds)}.')
    if args.full:
        stale = [k for k in judged if k.split(':')[0] in rows and k not in keys]
        if stale:
            print(f'\nJudged entries no survivor of this run needed: caught this time, or gone ({len(stale)}):')
            for k in stale:
                print(k)
    if args.judged:
        kept = [m for m in mutants if m.status == 'survived' and m.key in judged]
        print(f'\nJudged survivors ({len(kept)}):')
        for m in kept:
            print(f'{m.file}:{m.line}: {m.op}{" #" + str(m.ordinal) if m.ordinal > 1 else ""}: {judged[m.key][0]}')
    if survivors:
        print(f'\nSurvivors not judged yet ({len(survivors)}):')
        for m in survivors:
            note = ', reached by no test' if m.by == 'reached by no test' else ''
            print(f'# {m.file}:{m.line}{note}\n{m.key}')
    print(f'\nScore: {score(total)} caught of the non-equivalent mutants '
          f'({total["killed"] + total["timeout"]} of {total["all"] - total["equivalent"]})')
    return survivors


def score(r):
    n = r['all'] - r['equivalent']
    return f'{100.0 * (r["killed"] + r["timeout"]) / n:.1f}%' if n else '-'


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('tree', nargs='?', choices=('native', 'win'), default='native')
    mode = ap.add_mutually_exclusive_group()
    mode.add_argument('--full', action='store_true', help='every mutant')
    mode.add_argument('--sample', type=int, metavar='N', help='N mutants per file, seeded')
    mode.add_argument('--check', action='store_true', help="the tool's own check")
    mode.add_argument('--list', action='store_true', help='print the mutants, run nothing')
    ap.add_argument('--seed', default=DEFAULT_SEED)
    ap.add_argument('--only', nargs='+', metavar='FILE', help='these product files only')
    ap.add_argument('--e2e', action='store_true', help='win: also the end-to-end test of the real exe')
    ap.add_argument('-j', '--jobs', type=int, default=os.cpu_count() or 2)
    ap.add_argument('--work', default=os.path.join(ROOT, 'build', 'mutate'))
    ap.add_argument('--json', help='also write every mutant and its fate here')
    ap.add_argument('--judged', action='store_true', help='also list the survivors already judged')
    args = ap.parse_args()
    if args.check:
        return check(args)
    if not (args.full or args.sample or args.list):
        args.sample = 10

    files = product_files(args.tree, args.only)
    mutants = []
    for rel in files:
        with open(os.path.join(ROOT, rel), encoding='utf-8') as f:
            mutants += analyse(rel, f.read()).mutants
    mutants = choose(mutants, args)
    if args.list:
        for m in mutants:
            print(f'{m.file}:{m.line}: {m.op}{"" if m.schema else "  (alone)"}\n  {m.line_text}')
        print(f'{len(mutants)} mutants in {len({m.file for m in mutants})} files')
        return 0

    started = time.monotonic()
    runner = Runner(args)
    sys.stderr.write(f'preparing the copy in {runner.tree.base} ...\n')
    runner.prepare()
    progress = Progress(len(mutants))
    by_file = {}
    for m in mutants:
        by_file.setdefault(m.file, []).append(m)
    judged = read_judged()
    for rel, ms in by_file.items():
        started_file = time.monotonic()
        runner.mutate_file(rel, ms, progress)
        # Each file's outcome as soon as it is known, for whoever works on its survivors meanwhile.
        new = [m for m in ms if m.status == 'survived' and m.key not in judged]
        caught = sum(m.status in ('killed', 'timeout') for m in ms)
        progress.say(f'{rel}: {caught} caught, {len(new)} not judged, in {fmt(time.monotonic() - started_file)}'
                     + ''.join(f'\n  {m.line}: {m.op}  {m.line_text}' for m in new))
        if args.json:
            with open(args.json, 'w') as f:
                json.dump([dataclasses.asdict(m) for m in mutants], f, indent=0)
    progress.say('')
    report(mutants, read_judged(), runner.timing, args, time.monotonic() - started)
    return 0


# ---- The tool's own check ---------------------------------------------------------------

# Mutants of the extraction that its tests must kill, by line text and change.
CHECK_FILE = 'app/text_between.cpp'
CHECK_KILLED = [
    ('if (at < 0) return nullptr;', 'negate if'),
    ('if (at < 0) return nullptr;', 'literal 0 -> -1'),
    ('const std::int32_t start = at + left_length;', 'arithmetic + -> -'),
    ('return Call(MidText, {src, ValueRecord::Int(start), ValueRecord::Int(end - start)}).AsText();',
     'arithmetic - -> +'),
]
CHECK_PROGRAMS = ['text_between_test', 'tool_test']


def check(args):
    """Builds the copy, runs the unmutated extraction's tests and four known mutants: all must be caught."""
    args.tree, args.only, args.full, args.sample, args.e2e, args.judged = 'native', [CHECK_FILE], True, None, False, False
    args.work, args.programs = os.path.join(args.work, 'check'), CHECK_PROGRAMS
    read_judged()  # the list must parse
    with open(os.path.join(ROOT, CHECK_FILE), encoding='utf-8') as f:
        found = analyse(CHECK_FILE, f.read()).mutants
    chosen = []
    for text, op in CHECK_KILLED:
        ms = [m for m in found if m.line_text == text and m.op.startswith(op)]
        if not ms:
            print(f'mutate check: no mutant "{op}" on: {text}')
            return 1
        chosen.append(ms[0])
    for i, m in enumerate(chosen, 1):
        m.id = i
    runner = Runner(args)
    runner.prepare()
    progress = Progress(len(chosen))
    runner.mutate_file(CHECK_FILE, chosen, progress)  # fails when the unmutated copy's tests fail
    missed = [m for m in chosen if m.status not in ('killed', 'timeout')]
    for m in missed:
        print(f'mutate check: not caught ({m.status}): {m.op}\n  {m.line_text}')
    if not missed:
        print(f'mutate check: the unmutated copy passes and all {len(chosen)} known mutants are caught')
    return 1 if missed else 0


if __name__ == '__main__':
    sys.exit(main())
