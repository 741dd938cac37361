#!/usr/bin/env python3
"""Writes src/engine/DesSboxCircuits.h: the eight DES S-boxes as networks of three-input operations
for the bitsliced loops, and each operation those networks use as two-input operations for processors
without a three-input one.

Each output bit of an S-box is a function of six inputs. It is split on three of them (the selects)
into eight functions of the other three (the leaves, one three-input operation each unless a leaf is a
constant, an input or a node already built), which a tree of seven selections joins. For every S-box
the program tries every choice of selects and their order for each output, in every order of the
outputs, sharing nodes between outputs, and keeps the smallest network.

A three-input operation is written as its truth table, in the order of the x86 ternary-logic
instruction: bit (a << 2 | b << 1 | c) of the table is the result for inputs a, b, c.

    scripts/gen-des-sbox-circuits.py > src/engine/DesSboxCircuits.h
"""

import itertools
import sys

SBOXES = [
    [14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7, 0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8,
     4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0, 15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13],
    [15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10, 3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15, 13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9],
    [10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8, 13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1,
     13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7, 1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12],
    [7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15, 13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9,
     10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4, 3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14],
    [2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9, 14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6,
     4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14, 11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3],
    [12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11, 10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8,
     9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6, 4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13],
    [4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1, 13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6,
     1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2, 6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12],
    [13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2,
     7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8, 2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11],
]

FULL = (1 << 64) - 1


def variable(i):
    """Truth table over the 64 inputs of input i (0 = the first of the six bits, the most significant)."""
    return sum(1 << x for x in range(64) if (x >> (5 - i)) & 1)


VARS = [variable(i) for i in range(6)]


def output_table(box, j):
    table = 0
    for x in range(64):
        row = ((x >> 4) & 2) | (x & 1)
        col = (x >> 1) & 15
        if (SBOXES[box][row * 16 + col] >> (3 - j)) & 1:
            table |= 1 << x
    return table


def apply(imm, a, b, c):
    """The table of the operation `imm` on the tables a, b, c."""
    result = 0
    for k in range(8):
        if (imm >> k) & 1:
            term = FULL
            term &= a if k & 4 else ~a
            term &= b if k & 2 else ~b
            term &= c if k & 1 else ~c
            result |= term
    return result & FULL


def imm_of(function):
    return sum(1 << k for k in range(8) if function((k >> 2) & 1, (k >> 1) & 1, k & 1))


class Network:
    """Nodes in order: the six inputs, then operations on earlier nodes."""

    def __init__(self):
        self.tables = list(VARS)
        self.ops = []  # (imm, p, q, r): node index len(VARS) + position
        self.index = {t: i for i, t in enumerate(VARS)}

    def copy(self):
        other = Network()
        other.tables = list(self.tables)
        other.ops = list(self.ops)
        other.index = dict(self.index)
        return other

    def find(self, table):
        """A way to read `table` for free: ('node', i, inverted) or ('const', value), else None."""
        if table == 0:
            return ('const', 0)
        if table == FULL:
            return ('const', 1)
        if table in self.index:
            return ('node', self.index[table], False)
        if (~table & FULL) in self.index:
            return ('node', self.index[~table & FULL], True)
        return None

    def add(self, imm, p, q, r):
        table = apply(imm, self.tables[p], self.tables[q], self.tables[r])
        if table in self.index:
            return self.index[table]
        self.tables.append(table)
        self.ops.append((imm, p, q, r))
        self.index[table] = len(self.tables) - 1
        return len(self.tables) - 1

    def leaf(self, table, leaves):
        """`table`, a function of the three `leaves`, as a node (built if need be); returns a reference."""
        ref = self.find(table)
        if ref:
            return ref
        a, b, c = (VARS[v] for v in leaves)
        imm = 0
        for k in range(8):
            pick = FULL
            pick &= a if k & 4 else ~a
            pick &= b if k & 2 else ~b
            pick &= c if k & 1 else ~c
            pick &= FULL
            if table & pick:
                imm |= 1 << k
        node = self.add(imm, *leaves)
        return ('node', node, False)

    def select(self, s, one, zero):
        """s ? one : zero on references; returns a reference."""
        value = lambda ref: (FULL if ref[1] else 0) if ref[0] == 'const' else (
            (~self.tables[ref[1]] & FULL) if ref[2] else self.tables[ref[1]])
        table = (VARS[s] & value(one)) | (~VARS[s] & FULL & value(zero))
        ref = self.find(table)
        if ref:
            return ref
        # One operation on (s, one's node, zero's node), inversions and constants folded into it.
        def operand(ref):
            return (s, lambda x: x) if ref[0] == 'const' else (ref[1], (lambda x: 1 - x) if ref[2] else (lambda x: x))
        p1, f1 = operand(one)
        p0, f0 = operand(zero)
        c1 = one[1] if one[0] == 'const' else None
        c0 = zero[1] if zero[0] == 'const' else None
        def function(a, b, c):
            y1 = c1 if c1 is not None else f1(b)
            y0 = c0 if c0 is not None else f0(c)
            return y1 if a else y0
        node = self.add(imm_of(function), s, p1, p0)
        return ('node', node, False)


def build_output(net, table, selects, leaves):
    """Builds `table` split on `selects` (in order) over `leaves`; returns a reference."""
    def cofactor(t, assignment):
        keep = FULL
        for v, bit in assignment:
            keep &= VARS[v] if bit else ~VARS[v] & FULL
        # Spread the cofactor over the selects so that it depends on the leaves only.
        result = 0
        for x in range(64):
            y = x
            for v, bit in assignment:
                y = (y & ~(1 << (5 - v))) | (bit << (5 - v))
            if (t >> y) & 1:
                result |= 1 << x
        return result

    def tree(depth, assignment):
        if depth == 3:
            return net.leaf(cofactor(table, assignment), leaves)
        s = selects[depth]
        one = tree(depth + 1, assignment + [(s, 1)])
        zero = tree(depth + 1, assignment + [(s, 0)])
        if one == zero:
            return one
        return net.select(s, one, zero)

    return tree(0, [])


def best_network(box):
    tables = [output_table(box, j) for j in range(4)]
    choices = []
    for leaves in itertools.combinations(range(6), 3):
        rest = [v for v in range(6) if v not in leaves]
        for selects in itertools.permutations(rest):
            choices.append((selects, leaves))
    best = None
    for order in itertools.permutations(range(4)):
        net = Network()
        outputs = [None] * 4
        for j in order:
            candidates = []
            for selects, leaves in choices:
                trial = net.copy()
                ref = build_output(trial, tables[j], selects, leaves)
                candidates.append((len(trial.ops), trial, ref))
            cost, net, ref = min(candidates, key=lambda c: c[0])
            outputs[j] = ref
        if best is None or len(net.ops) < len(best[0].ops):
            best = (net, outputs)
    net, outputs = best
    for j in range(4):
        kind = outputs[j]
        value = (FULL if kind[1] else 0) if kind[0] == 'const' else (
            (~net.tables[kind[1]] & FULL) if kind[2] else net.tables[kind[1]])
        assert value == tables[j], (box, j)
    return net, outputs


# Two-input forms of three-input operations, for processors without the three-input instruction: the
# fewest of and, or, xor, andnot (~x & y), with a register of ones for the complement.
GATES = [
    ('and', lambda x, y: x & y, '{x} & {y}'),
    ('or', lambda x, y: x | y, '{x} | {y}'),
    ('xor', lambda x, y: x ^ y, '{x} ^ {y}'),
    ('andnot', lambda x, y: ~x & y & 0xFF, '~{x} & {y}'),
]
A, B, C, ONES = 0xF0, 0xCC, 0xAA, 0xFF


def gate_forms(limit):
    """Smallest programs (lists of (gate, x, y) over nodes a, b, c, ones, t0, ...) for each truth table."""
    found = {A: [], B: [], C: [], ONES: [], 0: None}
    frontier = [((A, B, C, ONES), [])]
    for depth in range(1, limit + 1):
        nxt = []
        for nodes, program in frontier:
            for i, j in itertools.permutations(range(len(nodes)), 2):
                for g, (name, f, _) in enumerate(GATES):
                    if name != 'andnot' and i > j:
                        continue
                    t = f(nodes[i], nodes[j]) & 0xFF
                    if t in nodes:
                        continue
                    p = program + [(g, i, j)]
                    if t not in found:
                        found[t] = p
                    if depth < limit:
                        nxt.append((nodes + (t,), p))
        frontier = nxt
    return found


def shannon_form(imm, forms):
    """v ? f1 : f0 for the input v that gives the fewest operations, as f0 ^ (v & (f1 ^ f0))."""
    best = None
    for v, table in enumerate((A, B, C)):
        shift = {A: 4, B: 2, C: 1}[table]
        one = zero = 0
        for k in range(8):
            bit = (imm >> (k | shift)) & 1, (imm >> (k & ~shift)) & 1
            one |= bit[0] << k
            zero |= bit[1] << k
        if one not in forms or zero not in forms or forms[one] is None or forms[zero] is None:
            continue
        program = []
        refs = []
        for part in (one, zero):
            base = 4 + len(program)
            if forms[part] == []:
                refs.append([A, B, C, ONES].index(part))
                continue
            for g, i, j in forms[part]:
                remap = lambda n: n if n < 4 else n - 4 + base
                program.append((g, remap(i), remap(j)))
            refs.append(4 + len(program) - 1)
        n = 4 + len(program)
        program += [(2, refs[0], refs[1]), (0, v, n), (2, refs[1], n + 1)]
        if best is None or len(program) < len(best):
            best = program
    return best


def emit_gate_form(imm, program):
    names = ['a', 'b', 'c', 'Bits::ones()']
    lines = []
    if imm == 0:
        return ['return Bits::zero();']
    if program == []:
        return ['return %s;' % names[[A, B, C, ONES].index(imm)]]
    ops = {'and': 'Bits::band', 'or': 'Bits::bor', 'xor': 'Bits::bxor', 'andnot': 'Bits::bandnot'}
    for k, (g, i, j) in enumerate(program):
        name = 't%d' % k
        lines.append('const V %s = %s(%s, %s);' % (name, ops[GATES[g][0]], names[i], names[j]))
        names.append(name)
    lines.append('return %s;' % names[-1])
    return lines


def dying_first(net, outputs):
    """The operations of `net` with an operand used for the last time moved to the front where there is
    one: the three-input instruction overwrites its first operand, and an operand still needed later
    must be copied first."""
    last = {}
    for k, (imm, *operands) in enumerate(net.ops):
        for node in operands:
            last[node] = k
    for ref in outputs:
        last[ref[1]] = len(net.ops)
    ordered = []
    for k, (imm, p, q, r) in enumerate(net.ops):
        operands = [p, q, r]
        dying = [i for i, node in enumerate(operands) if last[node] == k and operands.count(node) == 1]
        if dying:
            # Intermediate nodes first: the inputs' registers are reloaded for the next S-box anyway.
            first = max(dying, key=lambda i: operands[i])
            order = [first] + [i for i in range(3) if i != first]
            moved = [operands[i] for i in order]
            # The new table reads each combination of the moved operands at the original positions.
            new_imm = 0
            for bits in range(8):
                moved_values = ((bits >> 2) & 1, (bits >> 1) & 1, bits & 1)
                original = [0, 0, 0]
                for position, i in enumerate(order):
                    original[i] = moved_values[position]
                if (imm >> (original[0] << 2 | original[1] << 1 | original[2])) & 1:
                    new_imm |= 1 << bits
            ordered.append((new_imm, *moved))
        else:
            ordered.append((imm, p, q, r))
    net.ops = ordered


def main():
    boxes = [best_network(box) for box in range(8)]
    for net, outputs in boxes:
        dying_first(net, outputs)
    used = sorted({imm for net, _ in boxes for imm, *_ in net.ops})
    forms = gate_forms(4)
    missing = [imm for imm in used if imm not in forms]
    out = sys.stdout
    total = sum(len(net.ops) for net, _ in boxes)
    out.write('''#pragma once

// Generated by scripts/gen-des-sbox-circuits.py; do not edit. The eight DES S-boxes as networks of
// three-input operations for the bitsliced loops (%d operations in all, %.1f per S-box).
//
// Bits supplies V and lut3<Imm>(a, b, c), the operation whose truth table is Imm, bit (a << 2 | b << 1 |
// c) giving the result for inputs a, b, c. S-box n (0 to 7) takes its six input bits x0 to x5, x0 the
// first (most significant), and XORs its four output bits into y0 to y3, y0 the first.
//
// Included by the bitsliced kernel files inside their region compiled for the instruction set.

// clang-format off
namespace vorlaxen::des_detail {
namespace {

template <class Bits> struct DesSboxCircuits {
    using V = typename Bits::V;
''' % (total, total / 8))
    for box, (net, outputs) in enumerate(boxes):
        out.write('\n    [[gnu::always_inline]] static void s%d(V x0, V x1, V x2, V x3, V x4, V x5, '
                  'V& y0, V& y1, V& y2, V& y3) noexcept {\n' % box)
        names = ['x%d' % i for i in range(6)]
        for k, (imm, p, q, r) in enumerate(net.ops):
            out.write('        const V n%d = Bits::template lut3<0x%02X>(%s, %s, %s);\n' % (k, imm, names[p], names[q], names[r]))
            names.append('n%d' % k)
        for j, ref in enumerate(outputs):
            assert ref[0] == 'node' and not ref[2], 'an output is a constant or an inverted node'
            out.write('        y%d = Bits::bxor(y%d, %s);\n' % (j, j, names[ref[1]]))
        out.write('    }\n')
    out.write('''};

// The operations the networks use, as two-input operations (and, or, xor, ~x & y).
template <int Imm, class Bits>
[[gnu::always_inline]] inline typename Bits::V Lut3ByGates(typename Bits::V a, typename Bits::V b, typename Bits::V c) noexcept {
    using V = typename Bits::V;
''')
    for n, imm in enumerate(used):
        program = forms.get(imm)
        if program is None:
            program = forms[imm] = shannon_form(imm, forms)
        out.write('    %sif constexpr (Imm == 0x%02X) {\n' % ('' if n == 0 else '} else ', imm))
        for line in emit_gate_form(imm, program):
            out.write('        %s\n' % line)
    out.write('''    } else {
        static_assert(Imm < 0, "no two-input form of this operation");
    }
}

} // namespace
} // namespace vorlaxen::des_detail
// clang-format on
''')
    sys.stderr.write('%d operations, %d distinct; two-input operations: %d\n' % (
        total, len(used), sum(len(forms[imm]) for net, _ in boxes for imm, *_ in net.ops)))


if __name__ == '__main__':
    main()
