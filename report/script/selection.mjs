// The selected row, moved by clicks and keys.
import { state } from './page_data.mjs';

// Index -1 leaves no row selected.
export function select(index, fromKeyboard) {
  if (index < -1 || index >= state.rows.length) return;
  if (state.selected >= 0) {
    const old = state.rows[state.selected].tr;
    old.classList.remove('selected');
    old.removeAttribute('aria-selected');
  }
  state.selected = index;
  if (index < 0) return;
  const tr = state.rows[index].tr;
  tr.classList.add('selected');
  tr.setAttribute('aria-selected', 'true');
  if (fromKeyboard) {
    // Focus follows, so that Space plays this row rather than a button.
    tr.focus({ preventScroll: true });
    tr.scrollIntoView({ block: 'nearest' });
  }
}

// Moves through the rows on view, in their order.
export function move(step) {
  const shown = state.shown;
  if (shown.length === 0) return;
  const at = shown.indexOf(state.selected);
  select(shown[at < 0 ? 0 : Math.min(shown.length - 1, Math.max(0, at + step))], true);
}

// Rows a page key moves: those a screen holds, less one kept in sight.
export function rowsPerPage() {
  const row = state.rows[state.selected >= 0 ? state.selected : state.shown[0]];
  const height = row ? row.tr.offsetHeight : 0;
  return height > 0 ? Math.max(1, Math.floor(innerHeight / height) - 1) : 1;
}

// After a list in the toolbar is chosen from, the keys go back to the
// rows, so that the arrows move the selection rather than the list.
export function returnToRows() {
  if (state.selected >= 0) state.rows[state.selected].tr.focus({ preventScroll: true });
  else if (document.activeElement) document.activeElement.blur();
}
