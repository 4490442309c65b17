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
